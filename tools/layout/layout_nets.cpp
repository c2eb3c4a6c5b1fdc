#include "tools/layout/layout_nets.h"

#include <sstream>

std::string read_layout_nets(std::istream& in, int32_t layer_count, LayoutNets& nets) {
  nets = LayoutNets{};
  std::string line;
  int32_t number = 0;
  bool ended = false;
  auto malformed = [&number]() {
    return "the KLayout script wrote a malformed line " + std::to_string(number);
  };
  while (!ended && std::getline(in, line)) {
    ++number;
    size_t space = line.find(' ');
    std::string key = line.substr(0, space);
    std::string rest = space == std::string::npos ? "" : line.substr(space + 1);
    std::istringstream words(rest);
    if (key == "error") return rest;
    if (key == "dbu") {
      if (!parse_micrometres(rest, nets.dbu) || nets.dbu <= 0)
        return "the layout's database unit " + rest + " um is not a whole number of 1e-9 um";
    } else if (key == "cell") {
      nets.cell = rest;
    } else if (key == "extent") {
      if (!(words >> nets.extent[0] >> nets.extent[1] >> nets.extent[2] >> nets.extent[3]))
        return malformed();
    } else if (key == "warning") {
      nets.warnings.push_back(rest);
    } else if (key == "net") {
      nets.nets.emplace_back();
    } else if (key == "label") {
      NetLabel label;
      if (nets.nets.empty() ||
          !(words >> label.depth >> label.at[0] >> label.at[1] >> label.layer >> label.text_from) ||
          label.depth < 0 || words.get() != ' ' || !std::getline(words, label.name) ||
          label.text_from >= label.name.size() || (label.depth == 0) != (label.text_from == 0))
        return malformed();
      nets.nets.back().labels.push_back(label);
    } else if (key == "box") {
      NetBox box;
      if (nets.nets.empty() ||
          !(words >> box.layer >> box.lo[0] >> box.lo[1] >> box.hi[0] >> box.hi[1]) ||
          box.layer < 0 || box.layer >= layer_count || box.lo[0] >= box.hi[0] ||
          box.lo[1] >= box.hi[1])
        return malformed();
      nets.nets.back().boxes.push_back(box);
    } else if (key == "end") {
      ended = true;
    } else {
      return malformed();
    }
  }
  if (!ended || nets.dbu == 0)
    return "the KLayout script's output ends early, at line " + std::to_string(number);
  for (const LayoutNet& net : nets.nets) {
    if (net.boxes.empty()) return "the KLayout script wrote a net without shapes";
  }
  return "";
}

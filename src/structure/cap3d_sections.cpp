#include "structure/cap3d_sections.h"

#include <map>

#include "common/message_text.h"

namespace {

const char* const kAxisNames[3] = {"x", "y", "z"};

/// The axis a block's edge vector runs along, or the reason it runs along none.
std::string edge_axis(const std::string& key, const Femtometres v[3], int32_t& axis) {
  int32_t along = 0;
  for (int32_t a = 0; a < 3; ++a) {
    if (v[a] != 0) {
      axis = a;
      ++along;
    }
  }
  if (along == 1) return "";
  return key + (along == 0 ? " has length 0" : " does not run along x, y or z");
}

}  // namespace

const char kCap3dTripleForm[] =
    "(X,Y,Z), three decimal numbers of micrometres, each at most 1e8 in size and to nine places";

std::string bad_value(const std::string& key, const std::string& value, const std::string& what) {
  return key + " '" + printable(value) + "' is not " + what;
}

std::string read_section_lines(Cap3dLines& lines, const std::string& tag, uint32_t opened,
                               const Cap3dKeyHandler& on_key, const Cap3dNestHandler& on_nest) {
  const std::string closing = "</" + tag + ">";
  std::map<std::string, uint32_t> seen;  // line of each key so far
  std::string text, key, value;
  while (lines.next(text)) {
    if (text == closing) return "";
    if (text.front() == '<') {
      const bool opening = text.size() > 2 && text[1] != '/' && text.back() == '>';
      if (!opening || !on_nest) {
        return lines.error("'" + printable(text) + "' inside <" + tag + ">, opened on line " +
                           std::to_string(opened));
      }
      const std::string error = on_nest(text.substr(1, text.size() - 2));
      if (!error.empty()) return error;
      continue;
    }
    split_key(text, key, value);
    auto earlier = seen.find(key);
    if (earlier != seen.end()) {
      return lines.error("a second " + printable(key) + " in <" + tag + ">; the first is on line " +
                         std::to_string(earlier->second));
    }
    seen[key] = lines.line();
    const std::string error = on_key(key, value);
    if (!error.empty()) return lines.error(error);
  }
  return lines.error("the file ends inside <" + tag + ">, opened on line " +
                     std::to_string(opened));
}

std::string read_block(Cap3dLines& lines, uint32_t opened, const std::string& owner,
                       Cap3dBlock& block) {
  static const char* const kEdges[4] = {"basepoint", "v1", "v2", "hvector"};
  Femtometres vector[4][3];
  bool given[4] = {false, false, false, false};
  block = Cap3dBlock{SolidBox{}, opened, "", ""};
  std::string error = read_section_lines(
      lines, "block", opened,
      [&](const std::string& key, const std::string& value) -> std::string {
        for (int32_t k = 0; k < 4; ++k) {
          if (key != kEdges[k]) continue;
          given[k] = true;
          if (parse_triple(value, vector[k])) return "";
          return bad_value(key, value, kCap3dTripleForm);
        }
        if ((key == "name" || key == "layer") && is_one_word(value)) {
          (key == "name" ? block.name : block.layer) = value;
          return "";
        }
        if (key == "name" || key == "layer") return bad_value(key, value, "one word");
        return "unknown key '" + printable(key) + "' in <block>";
      },
      nullptr);
  if (!error.empty()) return error;
  const std::string what = "block of " + owner + ": ";
  bool used[3] = {false, false, false};
  for (int32_t k = 0; k < 4; ++k) {
    if (!given[k]) return lines.error_at(opened, what + "no " + kEdges[k]);
  }
  for (int32_t a = 0; a < 3; ++a) block.box.lo[a] = block.box.hi[a] = vector[0][a];
  for (int32_t k = 1; k < 4; ++k) {
    int32_t axis = 0;
    error = edge_axis(kEdges[k], vector[k], axis);
    if (error.empty() && used[axis]) {
      error = std::string(kEdges[k]) + " runs along " + kAxisNames[axis] + " as another edge does";
    }
    if (!error.empty())
      return lines.error_at(opened, what + error + "; it is no box along the axes");
    used[axis] = true;
    (vector[k][axis] < 0 ? block.box.lo : block.box.hi)[axis] += vector[k][axis];
  }
  return "";
}

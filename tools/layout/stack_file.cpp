#include "tools/layout/stack_file.h"

#include <sstream>

namespace {

bool is_name(const std::string& text) {
  auto letter = [](char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); };
  if (text.empty() || !letter(text[0])) return false;
  for (char c : text) {
    if (!letter(c) && !(c >= '0' && c <= '9') && c != '_') return false;
  }
  return true;
}

bool parse_whole(const std::string& text, int32_t& value) {
  if (text.empty() || text.size() > 10 || text.find_first_not_of("0123456789") != std::string::npos)
    return false;
  int64_t number = std::stoll(text);
  if (number > INT32_MAX) return false;
  value = static_cast<int32_t>(number);
  return true;
}

bool parse_gds(const std::string& text, GdsLayer& gds) {
  size_t slash = text.find('/');
  return slash != std::string::npos && parse_whole(text.substr(0, slash), gds.layer) &&
         parse_whole(text.substr(slash + 1), gds.datatype);
}

bool same_gds(const GdsLayer& a, const GdsLayer& b) {
  return a.layer == b.layer && a.datatype == b.datatype;
}

std::string shown(const GdsLayer& gds) {
  return std::to_string(gds.layer) + "/" + std::to_string(gds.datatype);
}

std::string kind(const StackLayer& layer) { return layer.is_via ? "via " : "metal "; }

std::string heights(const StackLayer& layer) {
  return "z " + format_micrometres(layer.z_bottom) + " to " + format_micrometres(layer.z_top);
}

/// The reader's state: the stack so far and the names a via or label refers to, which may be
/// given on later lines.
struct StackReader {
  std::string file_name;                  // for messages
  Stack& stack;                           // what has been read so far
  std::vector<std::string> via_metals;    // lower and upper metal name, two per via
  std::vector<std::string> label_metals;  // metal name per label layer
  int32_t line = 0;                       // the line being read

  std::string at(int32_t number) const { return file_name + ":" + std::to_string(number) + ": "; }

  int32_t find(const std::string& name) const {
    for (size_t k = 0; k < stack.layers.size(); ++k) {
      if (stack.layers[k].name == name) return static_cast<int32_t>(k);
    }
    return -1;
  }

  /// "" when `name` is a name not given before, else the reason.
  std::string new_name(const std::string& name) const {
    if (!is_name(name))
      return at(line) + "the name '" + name +
             "' is not a letter followed by letters, digits and '_'";
    int32_t earlier = 0;
    for (const StackLayer& layer : stack.layers) {
      if (layer.name == name) earlier = layer.line;
    }
    for (const DielectricLayer& layer : stack.dielectrics) {
      if (layer.name == name) earlier = layer.line;
    }
    if (earlier > 0)
      return at(line) + "the name " + name + " is already given on line " + std::to_string(earlier);
    return "";
  }

  /// Name and layer of a metal or via line, checked against the earlier lines.
  std::string name_and_layer(const std::vector<std::string>& t, StackLayer& layer) {
    layer.name = t[1];
    layer.line = line;
    std::string error = new_name(t[1]);
    if (!error.empty()) return error;
    if (!parse_gds(t[2], layer.gds))
      return at(line) + "'" + t[2] + "' is not LAYER/DATATYPE, two whole numbers such as 68/20";
    for (const StackLayer& earlier : stack.layers) {
      if (same_gds(earlier.gds, layer.gds))
        return at(line) + "layer " + shown(layer.gds) + " is already " + kind(earlier) +
               earlier.name + " of line " + std::to_string(earlier.line);
    }
    return "";
  }

  std::string metal(const std::vector<std::string>& t) {
    if (t.size() != 5) return at(line) + "metal takes NAME LAYER/DATATYPE ZBOTTOM THICKNESS";
    StackLayer layer;
    std::string error = name_and_layer(t, layer);
    if (!error.empty()) return error;
    Femtometres thickness = 0;
    if (!parse_micrometres(t[3], layer.z_bottom))
      return at(line) + "ZBOTTOM '" + t[3] + "' is not a decimal number of micrometres";
    if (!parse_micrometres(t[4], thickness) || thickness <= 0)
      return at(line) + "THICKNESS '" + t[4] + "' is not a positive decimal number of micrometres";
    if (__builtin_add_overflow(layer.z_bottom, thickness, &layer.z_top))
      return at(line) + "ZBOTTOM + THICKNESS is too large";
    for (const StackLayer& earlier : stack.layers) {
      if (!earlier.is_via && earlier.z_bottom < layer.z_top && layer.z_bottom < earlier.z_top)
        return at(line) + "metal " + layer.name + " (" + heights(layer) + ") overlaps metal " +
               earlier.name + " (" + heights(earlier) + ", line " + std::to_string(earlier.line) +
               ")";
    }
    stack.layers.push_back(layer);
    return "";
  }

  std::string via(const std::vector<std::string>& t) {
    if (t.size() != 5) return at(line) + "via takes NAME LAYER/DATATYPE LOWERMETAL UPPERMETAL";
    StackLayer layer;
    layer.is_via = true;
    std::string error = name_and_layer(t, layer);
    if (!error.empty()) return error;
    stack.layers.push_back(layer);
    via_metals.push_back(t[3]);
    via_metals.push_back(t[4]);
    return "";
  }

  std::string label(const std::vector<std::string>& t) {
    if (t.size() != 3) return at(line) + "label takes LAYER/DATATYPE METAL";
    LabelLayer layer;
    layer.line = line;
    if (!parse_gds(t[1], layer.gds))
      return at(line) + "'" + t[1] + "' is not LAYER/DATATYPE, two whole numbers such as 68/20";
    for (const LabelLayer& earlier : stack.labels) {
      if (same_gds(earlier.gds, layer.gds))
        return at(line) + "label layer " + shown(layer.gds) + " is already given on line " +
               std::to_string(earlier.line);
    }
    stack.labels.push_back(layer);
    label_metals.push_back(t[2]);
    return "";
  }

  std::string dielectric(const std::vector<std::string>& t) {
    if (t.size() != 4) return at(line) + "dielectric takes NAME ZTOP EPS";
    DielectricLayer layer;
    layer.name = t[1];
    layer.line = line;
    std::string error = new_name(t[1]);
    if (!error.empty()) return error;
    if (!parse_micrometres(t[2], layer.z_top))
      return at(line) + "ZTOP '" + t[2] + "' is not a decimal number of micrometres";
    Femtometres permittivity = 0;  // in units of 10^-9, as the lengths
    if (!parse_micrometres(t[3], permittivity) || permittivity <= 0)
      return at(line) + "EPS '" + t[3] + "' is not a positive decimal number";
    layer.permittivity = format_micrometres(permittivity);
    if (!stack.dielectrics.empty() && stack.dielectrics.back().z_top >= layer.z_top) {
      const DielectricLayer& below = stack.dielectrics.back();
      return at(line) + "dielectric " + layer.name + " ends at z = " + t[2] +
             ", not above the top " + format_micrometres(below.z_top) + " of dielectric " +
             below.name + " (line " + std::to_string(below.line) + "); they go bottom up";
    }
    stack.dielectrics.push_back(layer);
    return "";
  }

  /// The metal called `name`, or -1 after setting `error`.
  int32_t metal_called(const std::string& name, int32_t from_line, const std::string& what,
                       std::string& error) const {
    int32_t k = find(name);
    if (k < 0 || stack.layers[k].is_via) {
      error = at(from_line) + what + ": '" + name + "' is not a metal of the stack";
      return -1;
    }
    return k;
  }

  /// Resolves the names of vias and labels once every metal is known.
  std::string resolve() {
    bool has_metal = false;
    for (const StackLayer& layer : stack.layers) has_metal |= !layer.is_via;
    if (!has_metal) return file_name + ": no metal; a stack needs at least one 'metal' line";
    std::string error;
    size_t via_count = 0;
    for (StackLayer& via : stack.layers) {
      if (!via.is_via) continue;
      std::string what = "via " + via.name;
      int32_t lower = metal_called(via_metals[2 * via_count], via.line, what, error);
      int32_t upper =
          lower < 0 ? -1 : metal_called(via_metals[2 * via_count + 1], via.line, what, error);
      ++via_count;
      if (upper < 0) return error;
      const StackLayer& low = stack.layers[lower];
      const StackLayer& high = stack.layers[upper];
      if (high.z_bottom <= low.z_top)
        return at(via.line) + what + ": metal " + high.name + " begins at " +
               format_micrometres(high.z_bottom) + ", not above the top " +
               format_micrometres(low.z_top) + " of metal " + low.name;
      via.z_bottom = low.z_top;
      via.z_top = high.z_bottom;
    }
    for (size_t k = 0; k < stack.labels.size(); ++k) {
      stack.labels[k].metal = metal_called(label_metals[k], stack.labels[k].line, "label", error);
      if (stack.labels[k].metal < 0) return error;
    }
    return "";
  }
};

}  // namespace

std::string read_stack(std::istream& in, const std::string& file_name, Stack& stack) {
  stack = Stack{};
  StackReader reader{file_name, stack, {}, {}, 0};
  std::string text;
  while (std::getline(in, text)) {
    ++reader.line;
    std::istringstream words(text.substr(0, text.find('#')));
    std::vector<std::string> t;
    for (std::string word; words >> word;) t.push_back(word);
    if (t.empty()) continue;
    std::string error;
    if (t[0] == "metal") {
      error = reader.metal(t);
    } else if (t[0] == "via") {
      error = reader.via(t);
    } else if (t[0] == "label") {
      error = reader.label(t);
    } else if (t[0] == "dielectric") {
      error = reader.dielectric(t);
    } else {
      error = reader.at(reader.line) + "unknown record '" + t[0] +
              "'; a line is metal, via, label or dielectric";
    }
    if (!error.empty()) return error;
  }
  return reader.resolve();
}

std::vector<std::pair<int32_t, int32_t>> touching_layer_pairs(const Stack& stack) {
  std::vector<std::pair<int32_t, int32_t>> pairs;
  const std::vector<StackLayer>& l = stack.layers;
  for (size_t i = 0; i < l.size(); ++i) {
    for (size_t j = i + 1; j < l.size(); ++j) {
      if (l[i].z_bottom <= l[j].z_top && l[j].z_bottom <= l[i].z_top)
        pairs.emplace_back(static_cast<int32_t>(i), static_cast<int32_t>(j));
    }
  }
  return pairs;
}

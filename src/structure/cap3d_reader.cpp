#include "structure/cap3d_reader.h"

#include <algorithm>

#include "common/message_text.h"
#include "structure/cap3d_sections.h"

namespace {

const char kLengthForm[] =
    "a decimal number of micrometres, at most 1e8 in size and to nine places";
const char kPermittivityForm[] = "a positive relative permittivity";

/// A name line's word into `name`: "" or the clause of a message.
std::string take_name(const std::string& value, std::string& name) {
  if (!is_one_word(value)) return bad_value("name", value, "one word");
  name = value;
  return "";
}

std::string unknown_key(const std::string& key, const std::string& tag) {
  return "unknown key '" + printable(key) + "' in <" + tag + ">";
}

std::string read_window(Cap3dLines& lines, uint32_t opened, Cap3dFile& file) {
  if (file.window_line != 0) {
    return lines.error("a second <window>; the first is on line " +
                       std::to_string(file.window_line));
  }
  file.window_line = opened;
  Femtometres corner[2][3];
  bool given[2] = {false, false};
  std::string error = read_section_lines(
      lines, "window", opened,
      [&](const std::string& key, const std::string& value) -> std::string {
        if (key == "name") return take_name(value, file.window_name);
        if (key != "v1" && key != "v2") return unknown_key(key, "window");
        const int32_t k = key == "v1" ? 0 : 1;
        given[k] = true;
        return parse_triple(value, corner[k]) ? "" : bad_value(key, value, kCap3dTripleForm);
      },
      nullptr);
  if (!error.empty()) return error;
  if (!given[0] || !given[1]) {
    return lines.error_at(opened, std::string("the window has no ") + (given[0] ? "v2" : "v1"));
  }
  for (int32_t a = 0; a < 3; ++a) {
    if (corner[0][a] == corner[1][a]) {
      return lines.error_at(opened, std::string("the window has no volume: v1 and v2 have the "
                                                "same ") +
                                        "xyz"[a]);
    }
    file.window.lo[a] = std::min(corner[0][a], corner[1][a]);
    file.window.hi[a] = std::max(corner[0][a], corner[1][a]);
  }
  return "";
}

std::string read_plate(Cap3dLines& lines, uint32_t opened, Cap3dFile& file) {
  Cap3dPlate plate{"", opened, 0, 0};
  bool has_diel = false, has_top = false;
  std::string error = read_section_lines(
      lines, "plate_medium", opened,
      [&](const std::string& key, const std::string& value) -> std::string {
        if (key == "name") return take_name(value, plate.name);
        if (key == "diel") {
          has_diel = true;
          return parse_permittivity(value, plate.permittivity)
                     ? ""
                     : bad_value(key, value, kPermittivityForm);
        }
        if (key != "z_top") return unknown_key(key, "plate_medium");
        has_top = true;
        return parse_exact_length(value, plate.z_top) ? "" : bad_value(key, value, kLengthForm);
      },
      nullptr);
  if (!error.empty()) return error;
  if (!has_diel || !has_top) {
    return lines.error_at(opened,
                          std::string("the plate_medium has no ") + (has_diel ? "z_top" : "diel"));
  }
  file.plates.push_back(plate);
  return "";
}

/// A <medium> or a <conductor>: a name, blocks, and for a medium its permittivity.
std::string read_blocks_section(Cap3dLines& lines, uint32_t opened, bool is_medium,
                                Cap3dFile& file) {
  const std::string tag = is_medium ? "medium" : "conductor";
  std::string name;
  double permittivity = 0;
  bool has_diel = false;
  std::vector<Cap3dBlock> blocks;
  std::string error = read_section_lines(
      lines, tag, opened,
      [&](const std::string& key, const std::string& value) -> std::string {
        if (key == "name") return take_name(value, name);
        if (key != "diel" || !is_medium) return unknown_key(key, tag);
        has_diel = true;
        return parse_permittivity(value, permittivity) ? ""
                                                       : bad_value(key, value, kPermittivityForm);
      },
      [&](const std::string& nested) -> std::string {
        if (nested != "block") {
          return lines.error("<" + printable(nested) + "> inside <" + tag + ">, opened on line " +
                             std::to_string(opened));
        }
        const std::string owner = tag + (name.empty() ? "" : " '" + printable(name) + "'");
        blocks.emplace_back();
        return read_block(lines, lines.line(), owner, blocks.back());
      });
  if (!error.empty()) return error;
  if (!is_medium && name.empty()) return lines.error_at(opened, "the conductor has no name");
  if (is_medium && !has_diel) return lines.error_at(opened, "the medium has no diel");
  if (blocks.empty()) return lines.error_at(opened, "the " + tag + " has no <block>");
  if (is_medium) {
    file.media.push_back(Cap3dMedium{name, opened, permittivity, std::move(blocks)});
  } else {
    file.conductors.push_back(Cap3dConductor{name, opened, std::move(blocks)});
  }
  return "";
}

std::string read_layer_name(Cap3dLines& lines, uint32_t opened, Cap3dFile& file) {
  Cap3dLayerName layer{"", "", "", opened};
  std::string error = read_section_lines(
      lines, "layer", opened,
      [&](const std::string& key, const std::string& value) -> std::string {
        // Keys other than these (wmin, ...) describe the process; nothing here uses them.
        if (key == "name") layer.name = value;
        if (key == "id") layer.id = value;
        if (key == "type") layer.type = value;
        return "";
      },
      nullptr);
  if (!error.empty()) return error;
  file.layer_names.push_back(layer);
  return "";
}

/// <capacitance>: a net's name on each line.
std::string read_capacitance(Cap3dLines& lines, uint32_t opened, Cap3dFile& file) {
  std::string text;
  while (lines.next(text)) {
    if (text == "</capacitance>") return "";
    if (text.front() == '<' || !is_one_word(text)) {
      return lines.error("'" + printable(text) + "' inside <capacitance>, opened on line " +
                         std::to_string(opened) + ", which lists one net name a line");
    }
    file.task.push_back(Cap3dTaskName{text, lines.line()});
  }
  return lines.error("the file ends inside <capacitance>, opened on line " +
                     std::to_string(opened));
}

std::string read_task(Cap3dLines& lines, uint32_t opened, Cap3dFile& file) {
  return read_section_lines(
      lines, "task", opened,
      [](const std::string& key, const std::string&) { return unknown_key(key, "task"); },
      [&](const std::string& nested) -> std::string {
        if (nested == "capacitance") return read_capacitance(lines, lines.line(), file);
        return lines.error("<" + printable(nested) + "> inside <task>, opened on line " +
                           std::to_string(opened));
      });
}

/// <parameter>: settings of other programs, passed over through </parameter>.
std::string skip_parameters(Cap3dLines& lines, uint32_t opened) {
  std::string text;
  while (lines.next(text)) {
    if (text == "</parameter>") return "";
  }
  return lines.error("the file ends inside <parameter>, opened on line " + std::to_string(opened));
}

std::string read_top_section(Cap3dLines& lines, const std::string& tag, Cap3dFile& file) {
  const uint32_t opened = lines.line();
  if (tag == "window") return read_window(lines, opened, file);
  if (tag == "plate_medium") return read_plate(lines, opened, file);
  if (tag == "medium") return read_blocks_section(lines, opened, true, file);
  if (tag == "conductor") return read_blocks_section(lines, opened, false, file);
  if (tag == "layer") return read_layer_name(lines, opened, file);
  if (tag == "task") return read_task(lines, opened, file);
  if (tag == "parameter") return skip_parameters(lines, opened);
  return lines.error("unknown section <" + printable(tag) + ">");
}

}  // namespace

std::string read_cap3d(std::istream& in, const std::string& file_name, Cap3dFile& file) {
  file = Cap3dFile();
  Cap3dLines lines(in, file_name);
  std::string text;
  if (!lines.next(text) || text != "<cap3d>") {
    return lines.error("a cap3d file begins with <cap3d>, after any blank and // lines");
  }
  const uint32_t opened = lines.line();
  std::string error = read_section_lines(
      lines, "cap3d", opened,
      [](const std::string& key, const std::string&) {
        return "'" + printable(key) + "' outside every section";
      },
      [&](const std::string& tag) { return read_top_section(lines, tag, file); });
  if (!error.empty()) return error;
  file.last_line = lines.line();
  if (lines.next(text)) return lines.error("'" + printable(text) + "' after </cap3d>");
  if (file.window_line == 0) return lines.error_at(file.last_line, "the file has no <window>");
  if (file.conductors.empty()) return lines.error_at(file.last_line, "the file has no <conductor>");
  return "";
}

#include "tools/spice_arguments.h"

#include "common/message_text.h"
#include "tools/spice_names.h"

const char kSpiceUsage[] =
    "usage: vornax-spice PANELFILE CAPFILE [--unit m|cm|mm|um|nm] [--name NAME]\n"
    "Writes the capacitance matrix CAPFILE, extracted from PANELFILE, as a SPICE\n"
    "subcircuit on standard output: one port per conductor, capacitances in farads\n"
    "for coordinates in the given unit (default m). NAME defaults to PANELFILE's\n"
    "base name; it is a letter followed by letters, digits and '_'.\n"
    "--help prints this usage, --version the version.\n";

std::string spice_arguments_from(const std::vector<std::string>& arguments,
                                 SpiceArguments& parsed) {
  parsed = SpiceArguments{"", "", find_length_unit("m"), ""};
  std::vector<std::string> files;
  bool unit_given = false, name_given = false;
  for (size_t k = 0; k < arguments.size(); ++k) {
    const std::string& argument = arguments[k];
    bool is_option = argument.size() > 1 && argument[0] == '-';
    if (!is_option) {
      files.push_back(argument);
      continue;
    }
    if (argument != "--unit" && argument != "--name") {
      return "unknown option '" + one_line(argument) + "'.";
    }
    bool& given = argument == "--unit" ? unit_given : name_given;
    if (given) return argument + " is given twice.";
    given = true;
    if (k + 1 == arguments.size()) return argument + " needs a value.";
    const std::string& value = arguments[++k];
    if (argument == "--unit") {
      parsed.unit = find_length_unit(value);
      if (!parsed.unit)
        return "unknown unit '" + one_line(value) + "'; it is one of m, cm, mm, um and nm.";
    } else {
      if (!is_spice_name(value)) return "NAME '" + one_line(value) + "' is not a SPICE name.";
      parsed.name = value;
    }
  }
  if (files.size() != 2) {
    return "expected two files, PANELFILE and CAPFILE, got " + std::to_string(files.size()) + ".";
  }
  parsed.panel_file = files[0];
  parsed.cap_file = files[1];
  return "";
}

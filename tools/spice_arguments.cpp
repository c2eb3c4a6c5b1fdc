#include "tools/spice_arguments.h"

#include <cstdlib>

#include "common/message_text.h"
#include "tools/spice_names.h"

const char kSpiceUsage[] =
    "usage: vornax-spice PANELFILE CAPFILE [--unit m|cm|mm|um|nm] [--name NAME]\n"
    "                    [--min-cap FRACTION]\n"
    "Writes the capacitance matrix CAPFILE, extracted from PANELFILE, as a SPICE\n"
    "subcircuit on standard output: one port per conductor, capacitances in farads\n"
    "for coordinates in the unit the panel file declares, else the given one (default m).\n"
    "NAME defaults to PANELFILE's base name; it is a letter followed by letters, digits\n"
    "and '_'. A coupling below FRACTION (default 0.001) of the totals of both its\n"
    "conductors is left out and added to their capacitors to ground.\n"
    "--help prints this usage, --version the version.\n";

namespace {

/// A decimal number from 0 up to but not including 1.
bool fraction_from(const std::string& text, double& fraction) {
  if (text.empty() || text.find_first_not_of("0123456789.eE+-") != std::string::npos) return false;
  char* end = nullptr;
  fraction = std::strtod(text.c_str(), &end);
  return *end == '\0' && fraction >= 0.0 && fraction < 1.0;
}

}  // namespace

std::string spice_arguments_from(const std::vector<std::string>& arguments,
                                 SpiceArguments& parsed) {
  parsed = SpiceArguments{"", "", find_length_unit("m"), false, "", 0.001};
  std::vector<std::string> files;
  bool name_given = false, min_cap_given = false;
  for (size_t k = 0; k < arguments.size(); ++k) {
    const std::string& argument = arguments[k];
    bool is_option = argument.size() > 1 && argument[0] == '-';
    if (!is_option) {
      files.push_back(argument);
      continue;
    }
    if (argument != "--unit" && argument != "--name" && argument != "--min-cap") {
      return "unknown option '" + one_line(argument) + "'.";
    }
    bool& given = argument == "--unit"   ? parsed.unit_given
                  : argument == "--name" ? name_given
                                         : min_cap_given;
    if (given) return argument + " is given twice.";
    given = true;
    if (k + 1 == arguments.size()) return argument + " needs a value.";
    const std::string& value = arguments[++k];
    if (argument == "--unit") {
      parsed.unit = find_length_unit(value);
      if (!parsed.unit)
        return "unknown unit '" + one_line(value) + "'; it is one of m, cm, mm, um and nm.";
    } else if (argument == "--name") {
      if (!is_spice_name(value)) return "NAME '" + one_line(value) + "' is not a SPICE name.";
      parsed.name = value;
    } else if (!fraction_from(value, parsed.min_fraction)) {
      return "--min-cap FRACTION '" + one_line(value) + "' is not a number from 0 up to 1.";
    }
  }
  if (files.size() != 2) {
    return "expected two files, PANELFILE and CAPFILE, got " + std::to_string(files.size()) + ".";
  }
  parsed.panel_file = files[0];
  parsed.cap_file = files[1];
  return "";
}

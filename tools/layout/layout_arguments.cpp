#include "tools/layout/layout_arguments.h"

const char kLayoutUsage[] =
    "usage: vornax-layout LAYOUT STACK [--cell NAME] [--window X1,Y1,X2,Y2] [--substrate HALO]\n"
    "Writes a panel file of the nets of LAYOUT (GDSII, OASIS or any format KLayout reads) on\n"
    "standard output, one conductor per net named by its label, coordinates in micrometres.\n"
    "STACK gives the heights of the metal and via layers and the label layers. --cell picks\n"
    "the cell (default: the only top cell); --window clips to a rectangle in micrometres;\n"
    "--substrate adds a conductor 'substrate' under everything, HALO micrometres wider on\n"
    "every side. Needs KLayout (the Debian package 'klayout').\n"
    "--help prints this usage, --version the version.\n";

namespace {

std::string window_from(const std::string& text, LayoutArguments& parsed) {
  std::string bad = "--window '" + text + "' is not X1,Y1,X2,Y2 with X1 < X2 and Y1 < Y2";
  size_t from = 0;
  for (int32_t k = 0; k < 4; ++k) {
    size_t to = k == 3 ? text.size() : text.find(',', from);
    if (to == std::string::npos ||
        !parse_micrometres(text.substr(from, to - from), parsed.window[k]))
      return bad;
    from = to + 1;
  }
  if (parsed.window[0] >= parsed.window[2] || parsed.window[1] >= parsed.window[3]) return bad;
  parsed.has_window = true;
  return "";
}

}  // namespace

std::string layout_arguments_from(const std::vector<std::string>& arguments,
                                  LayoutArguments& parsed) {
  parsed = LayoutArguments{};
  std::vector<std::string> files;
  std::vector<std::string> given;
  for (size_t k = 0; k < arguments.size(); ++k) {
    const std::string& argument = arguments[k];
    if (argument.size() < 2 || argument[0] != '-') {
      files.push_back(argument);
      continue;
    }
    if (argument != "--cell" && argument != "--window" && argument != "--substrate")
      return "unknown option '" + argument + "'.";
    for (const std::string& option : given) {
      if (option == argument) return argument + " is given twice.";
    }
    given.push_back(argument);
    if (k + 1 == arguments.size()) return argument + " needs a value.";
    const std::string& value = arguments[++k];
    if (argument == "--cell") {
      if (value.empty()) return "--cell needs a cell name.";
      parsed.cell = value;
    } else if (argument == "--window") {
      std::string error = window_from(value, parsed);
      if (!error.empty()) return error + ".";
    } else {
      parsed.substrate.wanted = true;
      if (!parse_micrometres(value, parsed.substrate.halo) || parsed.substrate.halo < 0)
        return "--substrate HALO '" + value +
               "' is not a decimal number of micrometres, 0 or more.";
    }
  }
  if (files.size() != 2)
    return "expected two files, LAYOUT and STACK, got " + std::to_string(files.size()) + ".";
  parsed.layout_file = files[0];
  parsed.stack_file = files[1];
  return "";
}

#include "tools/layout/layout_arguments.h"

const char kLayoutUsage[] =
    "usage: vornax-layout LAYOUT STACK [--cell NAME] [--window X1,Y1,X2,Y2 [--halo D]]\n"
    "                     [--labels all|top] [--substrate HALO] [--snap GRID] [--cap3d OUT]\n"
    "       vornax-layout LAYOUT STACK --cells A,B,... --output DIR [options but --cell, --cap3d]\n"
    "Writes a panel file of the nets of LAYOUT (GDSII, OASIS or any format KLayout reads) on\n"
    "standard output, one conductor per net named by its label, coordinates in micrometres.\n"
    "STACK gives the heights of the metal and via layers, the label layers and the dielectric.\n"
    "--cell picks the cell (default: the only top cell); --window clips to a rectangle in\n"
    "micrometres, --halo takes the shapes within D around it as well, their nets as context;\n"
    "--labels top names nets by the cell's own labels only (default: subcells' too, as\n"
    "INSTANCE[N]/.../LABEL); --substrate adds a conductor 'substrate' under everything, HALO\n"
    "micrometres wider on every side; --snap moves every edge to the nearest multiple of GRID\n"
    "micrometres; --cap3d writes the structure with its dielectric as a cap3d file to OUT.\n"
    "--cells converts each cell named, the layout read once, into DIR/CELL.txt.\n"
    "Needs KLayout (the Debian package 'klayout').\n"
    "--help prints this usage, --version the version.\n";

namespace {

const char* const kOptions[] = {"--cell", "--window", "--halo",  "--labels", "--substrate",
                                "--snap", "--cap3d",  "--cells", "--output"};

bool is_option(const std::string& argument) {
  for (const char* option : kOptions) {
    if (argument == option) return true;
  }
  return false;
}

/// The names of --cells: each one a cell name that can be a file name, none twice.
std::string cells_from(const std::string& text, LayoutArguments& parsed) {
  for (size_t from = 0; from <= text.size();) {
    size_t to = text.find(',', from);
    if (to == std::string::npos) to = text.size();
    std::string name = text.substr(from, to - from);
    if (name.empty() || name == "." || name == ".." || name.find('/') != std::string::npos)
      return "--cells '" + text + "': '" + name + "' is not a cell name that can name a file.";
    for (const std::string& other : parsed.cells) {
      if (other == name) return "--cells names '" + name + "' twice.";
    }
    parsed.cells.push_back(name);
    from = to + 1;
  }
  return "";
}

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

/// Sets the option `option`, one of kOptions, from `value`: "" or the reason it is bad.
std::string option_from(const std::string& option, const std::string& value,
                        LayoutArguments& parsed) {
  if (option == "--cell") {
    if (value.empty()) return "--cell needs a cell name.";
    parsed.cell = value;
  } else if (option == "--window") {
    std::string error = window_from(value, parsed);
    if (!error.empty()) return error + ".";
  } else if (option == "--halo") {
    parsed.has_halo = true;
    if (!parse_micrometres(value, parsed.halo) || parsed.halo < 0)
      return "--halo D '" + value + "' is not a decimal number of micrometres, 0 or more.";
  } else if (option == "--labels") {
    if (value != "all" && value != "top") return "--labels takes all or top, not '" + value + "'.";
    parsed.subcell_labels = value == "all";
  } else if (option == "--substrate") {
    parsed.substrate.wanted = true;
    if (!parse_micrometres(value, parsed.substrate.halo) || parsed.substrate.halo < 0)
      return "--substrate HALO '" + value + "' is not a decimal number of micrometres, 0 or more.";
  } else if (option == "--snap") {
    if (!parse_micrometres(value, parsed.snap) || parsed.snap <= 0)
      return "--snap GRID '" + value + "' is not a positive decimal number of micrometres.";
  } else if (option == "--cells") {
    return cells_from(value, parsed);
  } else if (option == "--output") {
    if (value.empty()) return "--output needs a folder.";
    parsed.output_folder = value;
  } else {
    if (value.empty()) return "--cap3d needs a file name.";
    parsed.cap3d_file = value;
  }
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
    if (!is_option(argument)) return "unknown option '" + argument + "'.";
    for (const std::string& option : given) {
      if (option == argument) return argument + " is given twice.";
    }
    given.push_back(argument);
    if (k + 1 == arguments.size()) return argument + " needs a value.";
    std::string error = option_from(argument, arguments[++k], parsed);
    if (!error.empty()) return error;
  }
  if (files.size() != 2)
    return "expected two files, LAYOUT and STACK, got " + std::to_string(files.size()) + ".";
  if (parsed.has_halo && !parsed.has_window) return "--halo needs a --window to go around.";
  if (parsed.cells.empty() != parsed.output_folder.empty())
    return "--cells and --output go together.";
  if (!parsed.cells.empty() && (!parsed.cell.empty() || !parsed.cap3d_file.empty()))
    return "--cells takes neither --cell nor --cap3d.";
  Femtometres grown;
  for (int32_t k = 0; k < 4; ++k) {
    if (k < 2 ? __builtin_sub_overflow(parsed.window[k], parsed.halo, &grown)
              : __builtin_add_overflow(parsed.window[k], parsed.halo, &grown))
      return "--halo: the window grown by D is too large.";
  }
  parsed.layout_file = files[0];
  parsed.stack_file = files[1];
  return "";
}

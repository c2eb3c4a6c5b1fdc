// vornax-layout: writes the nets of a layout as a panel file on standard output, through KLayout.
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <iostream>
#include <string>
#include <vector>

#include "common/companion_request.h"
#include "common/fatal.h"
#include "tools/layout/cap3d_writer.h"
#include "tools/layout/grid_snap.h"
#include "tools/layout/layout_arguments.h"
#include "tools/layout/layout_conductors.h"
#include "tools/layout/layout_script.h"
#include "tools/layout/net_names.h"
#include "tools/layout/stack_file.h"

namespace {

/// `text` as one token of a message or title: white space and control bytes become '?'.
std::string token(const std::string& text) {
  std::string shown = text;
  for (char& c : shown) {
    unsigned char byte = static_cast<unsigned char>(c);
    if (byte <= 0x20 || byte == 0x7f) c = '?';
  }
  return shown;
}

int fail(const std::string& message) {
  std::cerr << "vornax-layout: " << message << '\n';
  return 1;
}

/// What both files say of where they come from.
std::string origin(const LayoutArguments& arguments, const LayoutNets& nets) {
  return "layout '" + token(arguments.layout_file) + "', cell '" + token(nets.cell) + "', stack '" +
         token(arguments.stack_file) + "'";
}

/// The lines before the first panel: a title, the unit, and with a halo the master nets.
std::vector<std::string> panel_file_header(const std::string& origin,
                                           const std::vector<size_t>& masters, bool has_halo) {
  std::vector<std::string> header = {
      "vornax-layout panel file, coordinates in micrometres: " + origin, "unit um"};
  if (has_halo) {
    std::string line = "masters";
    for (size_t k : masters) line += " " + std::to_string(k + 1);
    header.push_back(line);
  }
  return header;
}

/// Writes the cap3d file of --cap3d: "" or the reason it cannot, the file then removed.
std::string write_cap3d_file(const LayoutArguments& arguments, const LayoutNets& nets,
                             const Stack& stack, const std::vector<NamedNet>& named,
                             const std::vector<size_t>& masters) {
  std::string error = check_cap3d_names(named);
  if (!error.empty()) return error;
  Cap3dSource source{
      "vornax-layout cap3d file, coordinates in micrometres: " + origin(arguments, nets),
      token(nets.cell),
      {},
      masters};
  for (int32_t k = 0; k < 4; ++k) source.extent[k] = nets.extent[k] * nets.dbu;
  std::ofstream out(arguments.cap3d_file);
  if (!out) return "cannot write the cap3d file '" + token(arguments.cap3d_file) + "'.";
  error = write_cap3d(out, source, stack, named);
  out.close();
  if (error.empty() && !out)
    error = "could not write the cap3d file '" + token(arguments.cap3d_file) + "'.";
  if (!error.empty()) std::remove(arguments.cap3d_file.c_str());
  return error;
}

/// The panel file of one cell whose nets KLayout found, on `out`; messages on standard error,
/// each after `who` ("" or the cell's name and ": "). Returns the exit status: 0, else 1.
int convert_cell(const LayoutArguments& arguments, const Stack& stack, LayoutNets& nets,
                 std::ostream& out, const std::string& who) {
  auto fail_cell = [&](const std::string& message) { return fail(who + message); };
  for (const std::string& warning : nets.warnings)
    std::cerr << "vornax-layout: " << who << "warning: " << warning << '\n';
  std::vector<std::string> notes;
  std::vector<NetName> names = name_nets(nets, stack, notes);
  if (arguments.snap > 0) {
    if (arguments.snap % nets.dbu != 0)
      return fail_cell("--snap: " + format_micrometres(arguments.snap) +
                       " um is not a multiple of the database unit " +
                       format_micrometres(nets.dbu) + " um");
    snap_to_grid(nets, names, arguments.snap / nets.dbu, notes);
  }
  for (const std::string& note : notes)
    std::cerr << "vornax-layout: " << who << "note: " << note << '\n';
  std::vector<NamedNet> named;
  std::string error = named_nets_from(nets, names, stack, arguments.substrate, named);
  if (error.empty() && arguments.snap > 0) error = check_nets_apart(named);
  if (!error.empty()) return fail_cell(error);
  std::vector<size_t> masters;
  if (arguments.has_halo) masters = window_nets(named, arguments.window);
  if (!arguments.cap3d_file.empty()) {
    if (!arguments.has_halo) {
      for (size_t k = 0; k < named.size(); ++k) masters.push_back(k);
    }
    error = write_cap3d_file(arguments, nets, stack, named, masters);
    if (!error.empty()) return fail_cell(error);
  }
  write_panel_file(out, panel_file_header(origin(arguments, nets), masters, arguments.has_halo),
                   named);
  out.flush();
  if (!out) return fail_cell("could not write the panel file.");
  return 0;
}

/// --cells: every cell named, through one KLayout run, into DIR/CELL.txt. A cell that cannot be
/// converted leaves no file and its message; the others go on. Returns the exit status.
int convert_cells(const LayoutArguments& arguments, const Stack& stack) {
  std::vector<LayoutNets> nets;
  std::vector<std::string> errors;
  std::string error = find_nets_of_cells(arguments, stack, nets, errors);
  if (!error.empty()) return fail(error);
  int status = 0;
  for (size_t k = 0; k < arguments.cells.size(); ++k) {
    const std::string& cell = arguments.cells[k];
    const std::string who = token(cell) + ": ";
    if (!errors[k].empty()) {
      status = fail(who + errors[k]);
      continue;
    }
    const std::string file = arguments.output_folder + "/" + cell + ".txt";
    std::ofstream out(file);
    if (!out) {
      status = fail(who + "cannot write '" + token(file) + "'.");
      continue;
    }
    if (convert_cell(arguments, stack, nets[k], out, who) != 0) {
      out.close();
      std::remove(file.c_str());
      status = 1;
    }
  }
  return status;
}

}  // namespace

int main(int argc, char** argv) {
  install_out_of_memory_handler(stderr, "vornax-layout: not enough memory.");
  const std::vector<std::string> command_line(argv + 1, argv + argc);
  if (answer_companion_request(command_line, kLayoutUsage, "vornax-layout " VORNAX_VERSION))
    return 0;
  LayoutArguments arguments;
  std::string error = layout_arguments_from(command_line, arguments);
  if (!error.empty()) {
    std::cerr << "vornax-layout: " << error << '\n' << kLayoutUsage;
    return 2;
  }
  std::ifstream stack_in(arguments.stack_file);
  if (!stack_in) return fail("cannot open the stack file '" + token(arguments.stack_file) + "'.");
  Stack stack;
  error = read_stack(stack_in, token(arguments.stack_file), stack);
  if (!error.empty()) return fail(error);
  if (access(arguments.layout_file.c_str(), R_OK) != 0)
    return fail("cannot open the layout '" + token(arguments.layout_file) + "'.");
  if (!arguments.cells.empty()) return convert_cells(arguments, stack);

  LayoutNets nets;
  error = find_nets(arguments, stack, nets);
  if (!error.empty()) return fail(error);
  return convert_cell(arguments, stack, nets, std::cout, "");
}

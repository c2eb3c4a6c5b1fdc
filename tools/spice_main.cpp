// vornax-spice: writes a capacitance matrix as a SPICE subcircuit on standard output.
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <string>
#include <utility>
#include <vector>

#include "common/companion_request.h"
#include "common/fatal.h"
#include "common/message_text.h"
#include "geometry/panel_reader.h"
#include "tools/capacitance_file.h"
#include "tools/spice_arguments.h"
#include "tools/spice_names.h"
#include "tools/spice_subcircuit.h"
#include "tools/structure_panels.h"

namespace {

/// Ends the program for bad data: one line on standard error, status 1.
[[noreturn]] void fail(const std::string& message) {
  std::cerr << message << '\n';
  std::exit(1);
}

/// The structure file as read_labelled_panels reads it. A file that neither reader takes ends
/// the program with vornax-fine's message.
LabelledPanels read_structure_file(const std::string& file_name) {
  LabelledPanels panels;
  bool opened = false;
  std::string error = read_labelled_panels(file_name, panels, opened);
  if (!opened) fail("vornax-spice: cannot open the panel file '" + one_line(file_name) + "'.");
  if (!error.empty())
    fail(panels.cap3d || error.find("Error: ") != 0 ? "vornax-spice: " + error : error);
  return panels;
}

/// What the file is called in messages and comments.
std::string kind_of(const LabelledPanels& panels) {
  return panels.cap3d ? "the cap3d file" : "the panel file";
}

/// The unit of the file's coordinates: the one it declares (a cap3d file: micrometres), which an
/// explicit --unit must not contradict, else --unit or metres. Sets the source's unit and origin.
void take_unit(const SpiceArguments& arguments, const LabelledPanels& panels,
               SubcircuitSource& source) {
  source.unit = arguments.unit;
  source.unit_source = arguments.unit_given ? "--unit" : "the default";
  if (panels.unit.empty()) return;
  if (arguments.unit_given && panels.unit != arguments.unit->name) {
    fail("vornax-spice: --unit " + std::string(arguments.unit->name) + " contradicts the unit " +
         panels.unit + " that " + kind_of(panels) + " " + one_line(arguments.panel_file) +
         " declares.");
  }
  source.unit = find_length_unit(panels.unit);
  source.unit_source = "declared by " + kind_of(panels);
}

/// Reads the capacitance matrix into `source`, symmetrised: all its rows, or those of the
/// master conductors that the structure file names alone, the others then context. A faulty
/// file ends the program.
void read_capacitance_file(const std::string& file_name, const LabelledPanels& panels,
                           SubcircuitSource& source) {
  std::ifstream in(file_name);
  if (!in) fail("vornax-spice: cannot open the capacitance file '" + one_line(file_name) + "'.");
  MatrixRows c;
  const uint32_t order = static_cast<uint32_t>(panels.labels.size());
  const uint32_t masters = static_cast<uint32_t>(panels.masters.size());
  std::string error = read_capacitance_rows(in, file_name, order, c, masters < order ? masters : 0);
  if (!error.empty()) fail("vornax-spice: " + error);
  if (c.size() < order) {
    source.network.context.assign(order, true);
    for (uint32_t master : panels.masters) source.network.context[master] = false;
    c = with_context_rows(c, panels.masters);
    source.rows_note = "rows: those of the " + std::to_string(masters) +
                       " master conductors that " + kind_of(panels) +
                       " names; the others only couple to them";
  }
  take_matrix(source, std::move(c));
  int32_t row = first_overflowing_row(source.s);
  if (row >= 0) {
    fail("vornax-spice: " + one_line(file_name) + ":" + std::to_string(row + 1) +
         ": the symmetrised row sums to more than a double holds.");
  }
}

}  // namespace

int main(int argc, char** argv) {
  // The subcircuit is written as it is made, but the matrix is held whole: a file too large for
  // the memory ends with one line, not an abort.
  install_out_of_memory_handler(stderr, "vornax-spice: not enough memory.");
  const std::vector<std::string> command_line(argv + 1, argv + argc);
  if (answer_companion_request(command_line, kSpiceUsage, "vornax-spice " VORNAX_VERSION)) return 0;
  SpiceArguments arguments;
  std::string error = spice_arguments_from(command_line, arguments);
  if (!error.empty()) {
    std::cerr << "vornax-spice: " << error << '\n' << kSpiceUsage;
    return 2;
  }
  LabelledPanels panels = read_structure_file(arguments.panel_file);
  const std::vector<std::string>& labels = panels.labels;
  SubcircuitSource source;
  for (const std::string& label : labels) {
    int32_t number;
    if (!parse_int32(label, number)) source.labelled = true;
  }
  source.panel_file = arguments.panel_file;
  source.cap_file = arguments.cap_file;
  take_unit(arguments, panels, source);
  source.network.min_fraction = arguments.min_fraction;
  source.name = arguments.name.empty() ? subcircuit_name_for(arguments.panel_file) : arguments.name;
  source.ports = port_names(labels);
  read_capacitance_file(arguments.cap_file, panels, source);

  write_subcircuit(source, std::cout, std::cerr);
  std::cout.flush();
  if (!std::cout) fail("vornax-spice: could not write the subcircuit.");
  return 0;
}

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
#include "structure/panel_file_reader.h"
#include "tools/capacitance_file.h"
#include "tools/spice_arguments.h"
#include "tools/spice_names.h"
#include "tools/spice_subcircuit.h"

namespace {

/// Ends the program for bad data: one line on standard error, status 1.
[[noreturn]] void fail(const std::string& message) {
  std::cerr << message << '\n';
  std::exit(1);
}

/// The conductor labels of `file_name` in file order, one per conductor. The
/// file is read as vornax-fine reads it; one that vornax-fine refuses but
/// vornax's reader takes (vornax does not check that panels are rectangles
/// apart from one another) as vornax reads it, its conductor numbers as
/// labels. A file that neither takes ends the program with vornax-fine's message.
std::vector<std::string> read_conductor_labels(const std::string& file_name) {
  std::ifstream in(file_name);
  if (!in) fail("vornax-spice: cannot open the panel file '" + one_line(file_name) + "'.");
  FineStructure structure;
  std::string fine_error = read_fine_structure(in, file_name, structure);
  std::vector<std::string> labels;
  if (fine_error.empty()) {
    for (const FineConductor& conductor : structure.conductors) labels.push_back(conductor.label);
    return labels;
  }
  std::ifstream again(file_name);
  PanelVector panels;
  uint32_t conductor_count = 0;
  std::string error = read_panel_records(again, panels, conductor_count);
  if (error.empty() && panels.size() == 0) error = no_records_error(file_name);
  if (error.empty()) error = check_conductor_runs(panels);
  if (!error.empty()) fail(fine_error);
  for (uint32_t k = 0; k < panels.size(); ++k) {
    if (k == 0 || panels[k].conductor != panels[k - 1].conductor) {
      labels.push_back(std::to_string(panels[k].conductor));
    }
  }
  return labels;
}

/// Reads the capacitance matrix into `source`, symmetrised. A faulty file ends the program.
void read_capacitance_file(const std::string& file_name, uint32_t order, SubcircuitSource& source) {
  std::ifstream in(file_name);
  if (!in) fail("vornax-spice: cannot open the capacitance file '" + one_line(file_name) + "'.");
  MatrixRows c;
  std::string error = read_capacitance_rows(in, file_name, order, c);
  if (!error.empty()) fail("vornax-spice: " + error);
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
  std::vector<std::string> labels = read_conductor_labels(arguments.panel_file);
  SubcircuitSource source;
  for (const std::string& label : labels) {
    int32_t number;
    if (!parse_int32(label, number)) source.labelled = true;
  }
  source.panel_file = arguments.panel_file;
  source.cap_file = arguments.cap_file;
  source.unit = arguments.unit;
  source.name = arguments.name.empty() ? subcircuit_name_for(arguments.panel_file) : arguments.name;
  source.ports = port_names(labels);
  read_capacitance_file(arguments.cap_file, static_cast<uint32_t>(labels.size()), source);

  write_subcircuit(source, std::cout, std::cerr);
  std::cout.flush();
  if (!std::cout) fail("vornax-spice: could not write the subcircuit.");
  return 0;
}

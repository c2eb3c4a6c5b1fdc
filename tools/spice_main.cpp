// vornax-spice: writes a capacitance matrix as a SPICE subcircuit on standard output.
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <string>
#include <utility>
#include <vector>

#include "common/companion_request.h"
#include "common/fatal.h"
#include "geometry/panel_reader.h"
#include "structure/panel_file_header.h"
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

/// The conductor labels of `file_name` in file order, one per conductor, as
/// read_labelled_panels reads them. A file that neither reader takes ends the program with
/// vornax-fine's message.
std::vector<std::string> read_conductor_labels(const std::string& file_name) {
  LabelledPanels panels;
  bool opened = false;
  std::string error = read_labelled_panels(file_name, panels, opened);
  if (!opened) fail("vornax-spice: cannot open the panel file '" + one_line(file_name) + "'.");
  if (!error.empty()) fail(error);
  return panels.labels;
}

/// The header lines of the panel file, its master conductors checked against `conductors`.
PanelFileHeader read_header(const std::string& file_name, size_t conductors) {
  std::ifstream in(file_name);
  PanelFileHeader header;
  std::string error = read_panel_file_header(in, file_name, header);
  if (!error.empty()) fail("vornax-spice: " + error + ".");
  for (uint32_t position : header.masters) {
    if (position > conductors)
      fail("vornax-spice: " + one_line(file_name) + ":" + std::to_string(header.masters_line) +
           ": master conductor " + std::to_string(position) + " of " + std::to_string(conductors) +
           ".");
  }
  return header;
}

/// The unit of the panel file's coordinates: the one its header declares, which an explicit
/// --unit must not contradict, else --unit or metres. Sets the source's unit and its origin.
void take_unit(const SpiceArguments& arguments, const PanelFileHeader& header,
               SubcircuitSource& source) {
  source.unit = arguments.unit;
  source.unit_source = arguments.unit_given ? "--unit" : "the default";
  if (header.unit.empty()) return;
  if (arguments.unit_given && header.unit != arguments.unit->name) {
    fail("vornax-spice: --unit " + std::string(arguments.unit->name) +
         " contradicts the panel file " + one_line(arguments.panel_file) + ", whose line " +
         std::to_string(header.unit_line) + " says 'unit " + header.unit + "'.");
  }
  source.unit = find_length_unit(header.unit);
  source.unit_source = "line " + std::to_string(header.unit_line) + " of the panel file";
}

/// Reads the capacitance matrix into `source`, symmetrised: all its rows, or those of the
/// master conductors of `header` alone, the others then context. A faulty file ends the program.
void read_capacitance_file(const std::string& file_name, uint32_t order,
                           const PanelFileHeader& header, SubcircuitSource& source) {
  std::ifstream in(file_name);
  if (!in) fail("vornax-spice: cannot open the capacitance file '" + one_line(file_name) + "'.");
  MatrixRows c;
  const uint32_t masters = static_cast<uint32_t>(header.masters.size());
  std::string error = read_capacitance_rows(in, file_name, order, c, masters < order ? masters : 0);
  if (!error.empty()) fail("vornax-spice: " + error);
  if (c.size() < order) {
    std::vector<uint32_t> rows;
    source.network.context.assign(order, true);
    for (uint32_t position : header.masters) {
      rows.push_back(position - 1);
      source.network.context[position - 1] = false;
    }
    c = with_context_rows(c, rows);
    source.rows_note = "rows: those of the " + std::to_string(masters) +
                       " master conductors of line " + std::to_string(header.masters_line) +
                       " of the panel file; the others only couple to them";
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
  std::vector<std::string> labels = read_conductor_labels(arguments.panel_file);
  SubcircuitSource source;
  for (const std::string& label : labels) {
    int32_t number;
    if (!parse_int32(label, number)) source.labelled = true;
  }
  source.panel_file = arguments.panel_file;
  source.cap_file = arguments.cap_file;
  PanelFileHeader header = read_header(arguments.panel_file, labels.size());
  take_unit(arguments, header, source);
  source.network.min_fraction = arguments.min_fraction;
  source.name = arguments.name.empty() ? subcircuit_name_for(arguments.panel_file) : arguments.name;
  source.ports = port_names(labels);
  read_capacitance_file(arguments.cap_file, static_cast<uint32_t>(labels.size()), header, source);

  write_subcircuit(source, std::cout, std::cerr);
  std::cout.flush();
  if (!std::cout) fail("vornax-spice: could not write the subcircuit.");
  return 0;
}

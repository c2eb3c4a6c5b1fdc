#include "tools/structure_panels.h"

#include <fstream>

#include "geometry/panel_reader.h"
#include "structure/panel_file_header.h"
#include "structure/structure_file.h"

namespace {

/// The corners of `rect` in order around it.
std::array<Point3, 4> corners_of(const AxisRect& rect) {
  std::array<Point3, 4> corners;
  const int32_t u = (rect.axis + 1) % 3, v = (rect.axis + 2) % 3;
  const int32_t around[4][2] = {{0, 0}, {1, 0}, {1, 1}, {0, 1}};
  for (int32_t k = 0; k < 4; ++k) {
    double at[3];
    at[rect.axis] = rect.plane;
    at[u] = around[k][0] ? rect.hi[0] : rect.lo[0];
    at[v] = around[k][1] ? rect.hi[1] : rect.lo[1];
    corners[k] = Point3{at[0], at[1], at[2]};
  }
  return corners;
}

/// The file as vornax reads it, and its header lines: "" or the message.
std::string read_as_vornax(const std::string& file_name, LabelledPanels& panels) {
  std::ifstream in(file_name);
  PanelVector read;
  uint32_t conductor_count = 0;
  std::string error = read_panel_records(in, read, conductor_count);
  if (error.empty() && read.size() == 0) error = no_records_error(file_name);
  if (error.empty()) error = check_conductor_runs(read);
  if (!error.empty()) return error;
  for (uint32_t k = 0; k < read.size(); ++k) {
    if (k == 0 || read[k].conductor != read[k - 1].conductor)
      panels.labels.push_back(std::to_string(read[k].conductor));
    panels.conductor_of_panel.push_back(static_cast<uint32_t>(panels.labels.size()) - 1);
    panels.corners.push_back(
        {read[k].vertices[0], read[k].vertices[1], read[k].vertices[2], read[k].vertices[3]});
  }
  std::ifstream again(file_name);
  PanelFileHeader header;
  error = read_panel_file_header(again, file_name, header);
  if (error.empty())
    error = master_indices(header, panels.labels.size(), file_name, panels.masters);
  if (!error.empty()) return "Error: " + error + ".";
  panels.unit = header.unit;
  return "";
}

}  // namespace

std::string read_labelled_panels(const std::string& file_name, LabelledPanels& panels,
                                 bool& opened) {
  panels = LabelledPanels{};
  std::ifstream in(file_name);
  opened = static_cast<bool>(in);
  if (!opened) return "";
  FineStructure structure;
  StructureFormat format;
  std::string fine_error = read_structure(in, file_name, WindowFaces::kOpen, structure, format);
  if (fine_error.empty()) {
    for (const FineConductor& conductor : structure.conductors)
      panels.labels.push_back(conductor.label);
    panels.conductor_of_panel = structure.conductor_of_panel;
    for (const AxisRect& rect : structure.panels) panels.corners.push_back(corners_of(rect));
    panels.unit = structure.length_unit;
    panels.masters = structure.master_nets;
    panels.cap3d = format == StructureFormat::kCap3d;
    return "";
  }
  if (format == StructureFormat::kCap3d) return fine_error;
  if (!read_as_vornax(file_name, panels).empty()) {
    panels = LabelledPanels{};
    return fine_error;
  }
  return "";
}

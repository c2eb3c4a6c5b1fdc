#include "structure/structure_file.h"

#include <sstream>

#include "structure/cap3d_lines.h"
#include "structure/cap3d_reader.h"
#include "structure/panel_file_header.h"
#include "structure/panel_file_reader.h"

StructureFormat structure_format_of(const std::string& content) {
  size_t at = byte_order_mark_length(content);
  while (at < content.size()) {
    size_t end = content.find('\n', at);
    if (end == std::string::npos) end = content.size();
    size_t from = content.find_first_not_of(" \t\r\v\f", at);
    if (from < end) {
      size_t to = content.find_last_not_of(" \t\r\v\f", end - 1) + 1;
      const std::string line = content.substr(from, to - from);
      if (line.compare(0, 2, "//") != 0) {
        return line == "<cap3d>" ? StructureFormat::kCap3d : StructureFormat::kPanelFile;
      }
    }
    at = end + 1;
  }
  return StructureFormat::kPanelFile;
}

namespace {

/// The unit and the master conductors that the header lines of a panel file declare, into
/// `out`, whose conductors are read. "" or the message.
std::string take_panel_file_header(std::istream& content, const std::string& file_name,
                                   FineStructure& out) {
  PanelFileHeader header;
  std::string error = read_panel_file_header(content, file_name, header);
  if (!error.empty()) return "Error: " + error + ".";
  out.length_unit = header.unit;
  error = master_indices(header, out.conductors.size(), file_name, out.master_nets);
  return error.empty() ? "" : "Error: " + error + ".";
}

}  // namespace

std::string read_structure(std::istream& in, const std::string& file_name, WindowFaces faces,
                           FineStructure& out, StructureFormat& format) {
  std::stringstream content;
  content << in.rdbuf();
  format = structure_format_of(content.str());
  content.seekg(0);
  if (format == StructureFormat::kPanelFile) {
    std::string error = read_fine_structure(content, file_name, out);
    if (!error.empty()) return error;
    content.clear();
    content.seekg(0);
    return take_panel_file_header(content, file_name, out);
  }
  Cap3dFile file;
  std::string error = read_cap3d(content, file_name, file);
  if (!error.empty()) return error;
  return build_cap3d_structure(file, file_name, faces, out);
}

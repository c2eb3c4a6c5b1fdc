#include "structure/structure_file.h"

#include <sstream>

#include "structure/cap3d_lines.h"
#include "structure/cap3d_reader.h"
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

std::string read_structure(std::istream& in, const std::string& file_name, WindowFaces faces,
                           FineStructure& out, StructureFormat& format) {
  std::stringstream content;
  content << in.rdbuf();
  format = structure_format_of(content.str());
  content.seekg(0);
  if (format == StructureFormat::kPanelFile) return read_fine_structure(content, file_name, out);
  Cap3dFile file;
  std::string error = read_cap3d(content, file_name, file);
  if (!error.empty()) return error;
  return build_cap3d_structure(file, file_name, faces, out);
}

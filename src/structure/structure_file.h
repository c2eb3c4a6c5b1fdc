#pragma once

#include <istream>
#include <string>

#include "structure/cap3d_structure.h"
#include "structure/fine_structure.h"

/// The formats of a structure file.
enum class StructureFormat {
  kPanelFile,  // vornax's panel file (docs/panel-file.md)
  kCap3d,      // a cap3d file (docs/cap3d-file.md)
};

/// The format of a file's content, known by its content alone: cap3d when its first line that is
/// neither blank nor a "//" comment is <cap3d>, else a panel file.
StructureFormat structure_format_of(const std::string& content);

/// Reads a structure file of either format into `out` as vornax-fine and the companions read it:
/// a panel file by read_fine_structure, its unit and master conductors from its header lines
/// (read_panel_file_header), a cap3d file by read_cap3d and build_cap3d_structure with the
/// window's `faces` (which a panel file does not have). Sets `format`. Returns "" or the one-line
/// message: a panel file's as vornax gives it ("Error: ..."; for its header lines "Error:
/// FILE:LINE: what."), a cap3d file's as "FILE:LINE: what".
std::string read_structure(std::istream& in, const std::string& file_name, WindowFaces faces,
                           FineStructure& out, StructureFormat& format);

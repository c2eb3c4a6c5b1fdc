#pragma once

#include <istream>
#include <string>

#include "structure/cap3d_file.h"

/// Reads a cap3d file as docs/cap3d-file.md describes it: after any blank and "//" comment lines,
/// <cap3d>, then the sections <window>, <plate_medium>, <medium>, <conductor>, <layer>, <task>
/// and <parameter> in any order, then </cap3d>. Every block must be a box along the axes;
/// <parameter> is passed over, and keys that <layer> does not use are too. Returns "" with
/// `file` filled, or the one-line message "FILE:LINE: what" of the first fault (`file` is then
/// unspecified). Names are checked against one another by build_cap3d_structure, not here.
std::string read_cap3d(std::istream& in, const std::string& file_name, Cap3dFile& file);

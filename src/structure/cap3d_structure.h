#pragma once

#include <string>

#include "structure/cap3d_file.h"
#include "structure/fine_structure.h"

/// How the faces of a cap3d file's window are treated.
enum class WindowFaces {
  kOpen,      // the layers reach sideways without end, the highest upward
  kGrounded,  // its four sides and top are one grounded conductor: net GROUND, else "window"
};

/// Builds vornax-fine's structure from a cap3d file read by read_cap3d (fine_structure.h says
/// what each part means): nets of the conductor sections (net_names in cap3d_nets.h), each the
/// outer surface of its blocks' union, cut by layer and by the medium outside; the planar layers,
/// the dielectric blocks where the later one holds where they overlap, cut by the conductors;
/// the dielectric pieces; the task's master nets. With kGrounded, every conductor block must lie
/// inside the window, the dielectric blocks are cut to it, and its walls' panels join GROUND (or
/// a net "window" appended last). Returns "" or the one-line message "FILE:LINE: what" of the
/// first fault: blocks of two nets that meet, a task name that is no net, layers not going up, a
/// block outside a grounded window, a net left without a face.
std::string build_cap3d_structure(const Cap3dFile& file, const std::string& file_name,
                                  WindowFaces faces, FineStructure& out);

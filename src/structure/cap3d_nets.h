#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "structure/cap3d_file.h"

/// The conductor blocks of a cap3d file by net.
struct Cap3dNets {
  std::vector<std::string> names;     // net names in order of their first conductor section
  std::vector<SolidBox> boxes;        // every conductor block in file order
  std::vector<uint32_t> net_of_box;   // the net of each box, an index into names
  std::vector<uint32_t> line_of_box;  // line of each box's <block>
};

/// The net that a conductor section of this name belongs to: NET for a name PART__NET (split at
/// the first "__", PART and NET not empty: "7__a__b" is a part of net "a__b"), else the name.
std::string net_of_conductor(const std::string& name);

/// Gathers the blocks of `file` into nets (sections with one net name are one net). Blocks of
/// two nets may not meet: returns "" or the message naming the first block (in file order) that
/// touches or overlaps a block of another net, and that block.
std::string gather_nets(const Cap3dFile& file, const std::string& file_name, Cap3dNets& nets);

/// The nets the task of `file` asks for, as indices into nets.names, in its order: "" or the
/// message for a name that is no net or is asked for twice.
std::string task_nets(const Cap3dFile& file, const std::string& file_name, const Cap3dNets& nets,
                      std::vector<uint32_t>& masters);

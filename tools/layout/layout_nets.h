#pragma once

#include <cstdint>
#include <istream>
#include <string>
#include <vector>

#include "structure/exact_length.h"

/// A rectangle of a net's shapes on one stack layer, in database units.
struct NetBox {
  int32_t layer = 0;       // index into Stack::layers
  int64_t lo[2] = {0, 0};  // x and y of the lower left corner
  int64_t hi[2] = {0, 0};  // x and y of the upper right corner, each above lo's
};

/// One net of the layout: shapes that touch, on layers that touch.
struct LayoutNet {
  std::string label;          // the text that names it, one token; "" for none
  std::vector<NetBox> boxes;  // its shapes as boxes that do not overlap; at least one
};

/// What the KLayout script found in the cell.
struct LayoutNets {
  Femtometres dbu = 0;                // the database unit, positive
  std::string cell;                   // the cell that was converted
  int64_t extent[4] = {0, 0, 0, 0};   // x1 y1 x2 y2 in database units: the window, else the
                                      // bounding box of all shapes
  std::vector<std::string> warnings;  // one line each, for the user
  std::vector<LayoutNet> nets;        // in the script's order
};

/// Reads the file that the KLayout script writes, whose boxes refer to `layer_count` stack
/// layers. Returns "" on success; the script's reason when it refused the layout; otherwise what
/// is wrong with the file.
std::string read_layout_nets(std::istream& in, int32_t layer_count, LayoutNets& nets);

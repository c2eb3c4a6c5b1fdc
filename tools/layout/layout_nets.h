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

/// A label that a net carries: a text of the cell or of a cell placed in it, on the shapes of
/// the net.
struct NetLabel {
  int32_t depth = 0;       // instances between the cell and the text's cell; 0 for the cell's own
  std::string name;        // the path of instances down to the text's cell, then the text:
                           // "ROW[3]/RWL"; the text alone at depth 0
  size_t text_from = 0;    // where the text begins in `name`, 0 at depth 0
  int64_t at[2] = {0, 0};  // x and y of the text in database units
  std::string layer;       // its layer as LAYER/DATATYPE, for messages
};

/// One net of the layout: shapes that touch, on layers that touch, in the cell and the cells
/// placed in it.
struct LayoutNet {
  std::vector<NetLabel> labels;  // those in the window (with its halo), in no particular order
  std::vector<NetBox> boxes;     // its shapes as boxes that do not overlap; at least one
};

/// What the KLayout script found in the cell.
struct LayoutNets {
  Femtometres dbu = 0;                // the database unit, positive
  std::string cell;                   // the cell that was converted
  int64_t extent[4] = {0, 0, 0, 0};   // x1 y1 x2 y2 in database units: the window with its
                                      // halo, else the bounding box of all shapes
  std::vector<std::string> warnings;  // one line each, for the user
  std::vector<LayoutNet> nets;        // in the script's order
};

/// Reads the file that the KLayout script writes, whose boxes refer to `layer_count` stack
/// layers. Returns "" on success; the script's reason when it refused the layout; otherwise what
/// is wrong with the file.
std::string read_layout_nets(std::istream& in, int32_t layer_count, LayoutNets& nets);

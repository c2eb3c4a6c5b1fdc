#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "model/point3.h"

/// The conductors and panels of a structure file, as the companion programs name and draw them.
struct LabelledPanels {
  std::vector<std::string> labels;             // one per conductor, in file order
  std::vector<uint32_t> conductor_of_panel;    // each panel's conductor, from 0
  std::vector<std::array<Point3, 4>> corners;  // each panel's corners in order around it
  std::string unit;                            // the unit the file declares ("um" for a cap3d
                                               // file), "" when it does not
  std::vector<uint32_t> masters;               // the master conductors it names, from 0; empty
                                               // for none
  bool cap3d = false;                          // whether it is a cap3d file
};

/// Reads `file_name` as vornax-fine reads it, a panel file or a cap3d file (its window open);
/// or, when vornax-fine refuses a panel file that vornax's reader takes (vornax does not check
/// that panels are rectangles apart from one another), as vornax reads it, its conductor
/// numbers as labels and its header lines read apart. Returns "" or vornax-fine's message (for a
/// malformed record vornax's; a cap3d file's as "FILE:LINE: what"); `opened` tells whether the
/// file could be opened at all.
std::string read_labelled_panels(const std::string& file_name, LabelledPanels& panels,
                                 bool& opened);

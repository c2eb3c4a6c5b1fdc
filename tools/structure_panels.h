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
};

/// Reads `file_name` as vornax-fine reads it; or, when vornax-fine refuses it but vornax's reader
/// takes it (vornax does not check that panels are rectangles apart from one another), as
/// vornax reads it, its conductor numbers as labels. Returns "" or vornax-fine's message, which
/// for a malformed record is vornax's; `opened` tells whether the file could be opened at all.
std::string read_labelled_panels(const std::string& file_name, LabelledPanels& panels,
                                 bool& opened);

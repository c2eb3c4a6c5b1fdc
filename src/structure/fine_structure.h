#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "structure/axis_rect.h"

/// One conductor of a structure: a run of consecutive panel records with the same label.
struct FineConductor {
  std::string label;     // the conductor token of its first record, as written in the file
  uint32_t first_panel;  // position of its first panel in FineStructure::panels
  uint32_t panel_count;  // number of its panels, at least 1; they follow one another
};

/// A structure as its panel file describes it. Panel k is record k + 1 of the file.
struct FineStructure {
  std::vector<AxisRect> panels;              // input panels in file order
  std::vector<uint32_t> conductor_of_panel;  // conductor (0-based, file order) of each panel
  std::vector<FineConductor> conductors;     // in file order
};

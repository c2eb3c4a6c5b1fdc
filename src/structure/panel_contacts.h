#pragma once

#include <string>

#include "structure/fine_structure.h"

/// Checks the panels of `structure` pairwise: no two may overlap over a positive area, and no
/// two of different conductors may share a point (along an edge, at a corner, or crossing),
/// since such conductors would be one. The tests are exact comparisons of the coordinates.
/// Returns "" or the message for the first faulty pair, ordered by its later record and then
/// its earlier one. The pairs examined are those whose extents overlap along the one axis,
/// chosen by counting, where fewest do: about n log n for n panels spread over a structure.
std::string check_panel_contacts(const FineStructure& structure);

#pragma once

#include <vector>

#include "structure/union_surface.h"

/// The cavities of the union of `boxes`: the bounded parts of the space outside it, which no path
/// outside the union leads to from afar. Each cavity comes as boxes that tile it exactly (they do
/// not overlap, and with the union they fill it whole), the cavities in a fixed order.
/// Parts of the outside that meet only along an edge or at a point are apart, as the faces
/// around them are. Found on a tree of cells that halves the boxes' extent at their coordinates
/// until each cell is inside a box or outside all; about n log n cells for n boxes of a layout,
/// more where many boxes cross in one place.
std::vector<std::vector<SolidBox>> union_cavities(const std::vector<SolidBox>& boxes);

#pragma once

#include <cstdint>
#include <vector>

#include "structure/union_surface.h"

/// The outer surface of each net's union of boxes, for nets that do not touch one another:
/// `surfaces[n]` for net n, `boxes[k]` belonging to net `net_of_box[k]`. A cavity of a net's
/// union is filled (its walls dropped, what lies inside with them) unless it holds a box of
/// another net, whose field it then bounds; the tiles filled go to `fills`.
void net_surfaces(const std::vector<SolidBox>& boxes, const std::vector<uint32_t>& net_of_box,
                  uint32_t net_count, std::vector<std::vector<SurfaceRect>>& surfaces,
                  std::vector<SolidBox>& fills);

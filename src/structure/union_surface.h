#pragma once

#include <cstdint>
#include <vector>

#include "structure/exact_length.h"

/// A box with its sides parallel to the axes: [lo[0], hi[0]] x [lo[1], hi[1]] x [lo[2], hi[2]].
struct SolidBox {
  Femtometres lo[3];  // smallest x, y, z
  Femtometres hi[3];  // largest x, y, z; each above lo's
};

/// A rectangle of a surface, parallel to a coordinate plane: its normal runs along `axis`, it
/// lies where that coordinate is `level`, and spans [lo[0], hi[0]] along the axis (axis + 1) % 3
/// and [lo[1], hi[1]] along (axis + 2) % 3.
struct SurfaceRect {
  int32_t axis = 0;            // 0, 1 or 2: the normal is x, y or z
  int32_t outward = 1;         // +1: the solid lies below `level` along the axis; -1: above it
  Femtometres level = 0;       // coordinate of the plane along `axis`
  Femtometres lo[2] = {0, 0};  // lower ends along (axis + 1) % 3 and (axis + 2) % 3
  Femtometres hi[2] = {0, 0};  // upper ends, each above the lower one
};

/// The whole boundary of the union of `boxes`, the walls of its cavities included, as rectangles
/// that do not overlap and cover it exactly: where two boxes touch or overlap, nothing is left
/// inside, and a face that another box covers only in part keeps just its exposed part. The
/// faces of each coordinate plane are merged into rectangles greedily (grown along the first
/// span, then the second; painted_cover.h), so one box gives its six faces. Rectangles come by
/// axis, then level, outward +1 before -1, then by their lower ends along the second span and
/// the first. Time about n log n for n boxes of a layout, each plane's faces taken in groups
/// that touch.
std::vector<SurfaceRect> union_boundary(const std::vector<SolidBox>& boxes);

/// The outer surface of the union of `boxes`: its boundary without the walls of cavities
/// (union_cavities.h), and without the boxes inside them, which no field outside reaches.
std::vector<SurfaceRect> union_surface(const std::vector<SolidBox>& boxes);

/// The corners of `rect` in order around it, counterclockwise seen from outside the solid,
/// starting at the corner of smallest coordinates: corners[k][a] is coordinate a of corner k.
void surface_corners(const SurfaceRect& rect, Femtometres corners[4][3]);

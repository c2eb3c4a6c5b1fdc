#pragma once

#include <cstdint>
#include <functional>
#include <vector>

#include "structure/exact_length.h"

/// Channels of paint: what a point of a plane shows is, for each channel, the highest rank of
/// the rectangles of that channel that hold it.
const int32_t kPaintChannels = 5;

/// A rectangle painted onto a plane with coordinates (u, v): [lo[0], hi[0]] x [lo[1], hi[1]].
struct PaintRect {
  Femtometres lo[2];  // lower ends along u and v
  Femtometres hi[2];  // upper ends, each above the lower one
  int32_t channel;    // 0 .. kPaintChannels - 1
  int32_t rank;       // 0 or more; within a channel the highest rank shows
};

/// What shows at a point: the highest rank of each channel there, -1 where no rectangle of the
/// channel holds it.
struct PaintShown {
  int32_t rank[kPaintChannels];  // by channel
};

/// A rectangle of the cover with the label of all its points.
struct LabelledRect {
  Femtometres lo[2];  // lower ends along u and v
  Femtometres hi[2];  // upper ends, each above the lower one
  int32_t label;      // what `label_of` gave its points, 0 or more
};

/// Cuts `r` to the rectangle `extent`; false when nothing of an area is left.
bool clip_paint(const PaintRect& extent, PaintRect& r);

/// Labels a point by what shows there: 0 or more, or -1 for a point left out of the cover.
using PaintLabel = std::function<int32_t(const PaintShown&)>;

/// Paints `rects` and covers each label's region with rectangles that do not overlap, greedily:
/// from the lowest v up, each rectangle starts at the lowest and then leftmost point of the region
/// that no rectangle covers yet, reaches along u as far as the region goes, then along v as far
/// as all of that span stays in the region. The cover is the one a grid of every coordinate
/// would give, cell by cell, whatever other lines the grid had. Appends the rectangles to `out`
/// in order of their lower v, then lower u. Time about r log r for each of the distinct v
/// coordinates, r the rectangles that span it; for a plane of many rectangles, cover its
/// connected groups one by one (plane_groups.h).
void cover_painted(const std::vector<PaintRect>& rects, const PaintLabel& label_of,
                   std::vector<LabelledRect>& out);

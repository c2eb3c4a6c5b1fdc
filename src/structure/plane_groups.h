#pragma once

#include <cstdint>
#include <vector>

#include "structure/painted_cover.h"

/// Splits the rectangles of one plane into groups that cover_painted can take one at a time,
/// for a labelling that leaves out every point outside the rectangles of channel
/// `region_channel`: the region's rectangles joined where they share a point, each group with
/// the other rectangles that overlap its region over an area, clipped to the group's extent (a
/// rectangle may serve several groups). Groups come in order of their first region rectangle.
/// About n log n for n rectangles, besides what the overlaps found add.
std::vector<std::vector<PaintRect>> plane_groups(const std::vector<PaintRect>& rects,
                                                 int32_t region_channel);

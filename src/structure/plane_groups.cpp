#include "structure/plane_groups.h"

#include <algorithm>

#include "structure/box_index.h"

namespace {

SolidBox flat_box(const PaintRect& r) {
  return SolidBox{{r.lo[0], r.lo[1], 0}, {r.hi[0], r.hi[1], 0}};
}

uint32_t root_of(std::vector<uint32_t>& parent, uint32_t k) {
  while (parent[k] != k) k = parent[k] = parent[parent[k]];
  return k;
}

}  // namespace

std::vector<std::vector<PaintRect>> plane_groups(const std::vector<PaintRect>& rects,
                                                 int32_t region_channel) {
  std::vector<uint32_t> region;  // positions in rects of the region's rectangles
  std::vector<SolidBox> boxes;
  for (uint32_t k = 0; k < rects.size(); ++k) {
    if (rects[k].channel != region_channel) continue;
    region.push_back(k);
    boxes.push_back(flat_box(rects[k]));
  }
  const BoxIndex index(boxes);
  std::vector<uint32_t> parent(region.size());
  for (uint32_t k = 0; k < parent.size(); ++k) parent[k] = k;
  for (uint32_t k = 0; k < region.size(); ++k) {
    index.for_each_meeting(boxes[k], [&](uint32_t m) {
      const uint32_t a = root_of(parent, k), b = root_of(parent, m);
      parent[std::max(a, b)] = std::min(a, b);
    });
  }
  // Groups numbered by their first region rectangle, which is its root.
  std::vector<int32_t> group_of_root(region.size(), -1);
  std::vector<std::vector<PaintRect>> groups;
  std::vector<PaintRect> extent;
  std::vector<int32_t> group_of(region.size());
  for (uint32_t k = 0; k < region.size(); ++k) {
    const uint32_t root = root_of(parent, k);
    if (group_of_root[root] < 0) {
      group_of_root[root] = static_cast<int32_t>(groups.size());
      groups.emplace_back();
      extent.push_back(rects[region[k]]);
    }
    const int32_t g = group_of[k] = group_of_root[root];
    groups[g].push_back(rects[region[k]]);
    for (int32_t a = 0; a < 2; ++a) {
      extent[g].lo[a] = std::min(extent[g].lo[a], rects[region[k]].lo[a]);
      extent[g].hi[a] = std::max(extent[g].hi[a], rects[region[k]].hi[a]);
    }
  }
  std::vector<int32_t> joined;  // groups that the current rectangle overlaps
  for (const PaintRect& r : rects) {
    if (r.channel == region_channel) continue;
    joined.clear();
    index.for_each_meeting(flat_box(r), [&](uint32_t m) {
      const PaintRect& held = rects[region[m]];
      if (r.lo[0] < held.hi[0] && held.lo[0] < r.hi[0] && r.lo[1] < held.hi[1] &&
          held.lo[1] < r.hi[1])
        joined.push_back(group_of[m]);
    });
    std::sort(joined.begin(), joined.end());
    joined.erase(std::unique(joined.begin(), joined.end()), joined.end());
    for (int32_t g : joined) {
      PaintRect clipped = r;
      if (clip_paint(extent[g], clipped)) groups[g].push_back(clipped);
    }
  }
  return groups;
}

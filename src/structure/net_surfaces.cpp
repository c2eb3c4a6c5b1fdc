#include "structure/net_surfaces.h"

#include "structure/box_index.h"
#include "structure/union_cavities.h"

void net_surfaces(const std::vector<SolidBox>& boxes, const std::vector<uint32_t>& net_of_box,
                  uint32_t net_count, std::vector<std::vector<SurfaceRect>>& surfaces,
                  std::vector<SolidBox>& fills) {
  std::vector<std::vector<SolidBox>> of_net(net_count);
  for (size_t k = 0; k < boxes.size(); ++k) of_net[net_of_box[k]].push_back(boxes[k]);
  const BoxIndex index(boxes);
  surfaces.assign(net_count, {});
  for (uint32_t n = 0; n < net_count; ++n) {
    std::vector<SolidBox>& solid = of_net[n];
    const size_t own = solid.size();
    for (const std::vector<SolidBox>& cavity : union_cavities(solid)) {
      // Only another net's box can overlap a cavity, and it lies wholly inside.
      bool holds_another = false;
      for (const SolidBox& tile : cavity) {
        index.for_each_meeting(tile, [&](uint32_t m) {
          holds_another = holds_another || boxes_overlap(boxes[m], tile);
        });
      }
      if (!holds_another) solid.insert(solid.end(), cavity.begin(), cavity.end());
    }
    fills.insert(fills.end(), solid.begin() + own, solid.end());
    surfaces[n] = union_boundary(solid);
  }
}

#include "fine/mesh/master_grading.h"

#include <algorithm>

#include "fine/mesh/graded_mesh.h"
#include "structure/box_hierarchy.h"
#include "structure/space_box.h"

namespace {

constexpr uint32_t kLeafSize = 4;  // master faces a leaf holds at most

/// The faces of the masters as a hierarchy of their bounds.
struct MasterFaces {
  std::vector<SpaceBox> boxes;                 // in leaf order
  std::vector<uint32_t> order;                 // unused: any master face will do
  std::vector<HierarchyNode<SpaceBox>> nodes;  // the root first
};

/// The distance from `query` to the nearest master face (0 where one touches it), or `bound`
/// when none is nearer.
double nearest_master(const MasterFaces& masters, const SpaceBox& query, double bound) {
  double best = bound;
  uint32_t stack[64];  // median splits keep the depth below 32
  int32_t size = 0;
  if (!masters.nodes.empty()) stack[size++] = 0;
  while (size > 0 && best > 0.0) {
    const HierarchyNode<SpaceBox>& node = masters.nodes[stack[--size]];
    if (box_gap(node.bounds, query) >= best) continue;
    if (node.count == 0) {
      stack[size++] = node.first;
      stack[size++] = node.first + 1;
      continue;
    }
    for (uint32_t k = node.first; k < node.first + node.count; ++k)
      best = std::min(best, box_gap(masters.boxes[k], query));
  }
  return best;
}

}  // namespace

std::vector<double> master_graded_scales(const std::vector<AxisRect>& faces,
                                         const std::vector<uint32_t>& owner,
                                         const std::vector<int32_t>& masters, int32_t conductors,
                                         const std::vector<double>& feature) {
  std::vector<char> is_master(conductors, 0);
  for (int32_t k : masters) is_master[k] = 1;
  const bool every = std::count(is_master.begin(), is_master.end(), 1) == conductors;
  if (masters.empty() || every) return feature;
  auto of_master = [&](size_t f) {
    return owner[f] < static_cast<uint32_t>(conductors) && is_master[owner[f]];
  };
  MasterFaces index;
  for (size_t f = 0; f < faces.size(); ++f) {
    if (of_master(f)) index.boxes.push_back(space_box(faces[f]));
  }
  build_box_hierarchy(index.boxes, index.order, index.nodes, kLeafSize);
  std::vector<double> scale = feature;
  for (size_t f = 0; f < faces.size(); ++f) {
    if (of_master(f)) continue;
    const AxisRect& r = faces[f];
    const double length[2] = {r.hi[0] - r.lo[0], r.hi[1] - r.lo[1]};
    // Beyond this distance every scale is the coarsest there is.
    const double reach = kMasterReach * kWholeExtent * std::max(length[0], length[1]);
    const double d = nearest_master(index, space_box(r), reach) / kMasterReach;
    for (int32_t k = 0; k < 2; ++k)
      scale[2 * f + k] = std::min(kWholeExtent * length[k], std::max(scale[2 * f + k], d));
  }
  return scale;
}

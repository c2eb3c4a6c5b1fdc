#pragma once

#include <cstdint>
#include <vector>

#include "structure/box_hierarchy.h"
#include "structure/space_box.h"

/// The faces of a structure as a hierarchy of bounding boxes, for the question "how far is the
/// nearest face that does not touch this box?". Built by splitting at the median of the box
/// centres along their widest spread, so that a query visits about log n nodes besides the faces
/// near it. Queries only read the hierarchy: several may run at once.
class FaceHierarchy {
 public:
  explicit FaceHierarchy(const std::vector<SpaceBox>& boxes);

  /// The smallest box_gap(query, face g) over the faces g that do not touch `query` (gap above
  /// zero) and that `counts(g, gap)` accepts, or `bound` when none is smaller. The result is
  /// the same, to the bit, as that minimum over all faces: a node whose bounds lie `bound` or
  /// farther away holds no face nearer than the best found. With a `floor`, the search ends as
  /// soon as a gap at or below it is found, and returns that gap: for a caller to whom every gap
  /// up to the floor means the same.
  template <typename Counts>
  double nearest_gap(const SpaceBox& query, double bound, Counts counts, double floor = 0.0) const {
    double best = bound;
    // Median splits keep the depth below 32, so a path holds fewer than 64 pending nodes.
    uint32_t stack[64];
    int32_t size = 0;
    if (!nodes_.empty()) stack[size++] = 0;
    while (size > 0 && best > floor) {
      const HierarchyNode<SpaceBox>& node = nodes_[stack[--size]];
      if (box_gap(node.bounds, query) >= best) continue;
      if (node.count == 0) {
        stack[size++] = node.first;
        stack[size++] = node.first + 1;
        continue;
      }
      for (uint32_t k = node.first; k < node.first + node.count; ++k) {
        const double gap = box_gap(boxes_[k], query);
        if (gap == 0.0 || gap >= best) continue;  // touching, or no nearer
        if (counts(order_[k], gap)) best = gap;
      }
    }
    return best;
  }

 private:
  // The root first; an inner node's children side by side.
  std::vector<HierarchyNode<SpaceBox>> nodes_;
  std::vector<SpaceBox> boxes_;  // the faces in leaf order
  std::vector<uint32_t> order_;  // the caller's index of each face in leaf order
};

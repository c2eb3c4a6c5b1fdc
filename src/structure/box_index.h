#pragma once

#include <cstdint>
#include <vector>

#include "structure/union_surface.h"

/// Whether two closed boxes share a point: touching counts.
inline bool boxes_meet(const SolidBox& a, const SolidBox& b) {
  for (int32_t k = 0; k < 3; ++k) {
    if (a.lo[k] > b.hi[k] || b.lo[k] > a.hi[k]) return false;
  }
  return true;
}

/// Whether two boxes share a volume: their interiors meet.
inline bool boxes_overlap(const SolidBox& a, const SolidBox& b) {
  for (int32_t k = 0; k < 3; ++k) {
    if (a.lo[k] >= b.hi[k] || b.lo[k] >= a.hi[k]) return false;
  }
  return true;
}

/// A fixed set of boxes indexed for the question "which of them meet this box?": a hierarchy of
/// bounding boxes split at the median of the box centres along their widest spread, so that a
/// query visits about log n nodes besides the boxes it reports. Flat boxes (lo == hi along an
/// axis) are indexed like any other. Queries only read the index: several may run at once.
class BoxIndex {
 public:
  BoxIndex() = default;
  explicit BoxIndex(const std::vector<SolidBox>& boxes);

  /// Calls visit(k) once for every indexed box k (its position in the vector given) that shares
  /// a point with the closed box `query`, in no particular order.
  template <typename Visit>
  void for_each_meeting(const SolidBox& query, Visit visit) const {
    if (nodes_.empty()) return;
    // Median splits keep the depth below 32, so a path holds fewer than 64 pending nodes.
    uint32_t stack[64];
    int32_t size = 0;
    stack[size++] = 0;
    while (size > 0) {
      const Node& node = nodes_[stack[--size]];
      if (!boxes_meet(node.bounds, query)) continue;
      if (node.count > 0) {
        for (uint32_t k = node.first; k < node.first + node.count; ++k) {
          if (boxes_meet(boxes_[k], query)) visit(order_[k]);
        }
      } else {
        stack[size++] = node.first;
        stack[size++] = node.first + 1;
      }
    }
  }

 private:
  /// A node of the hierarchy: a leaf holds a run of boxes, an inner node two children.
  struct Node {
    SolidBox bounds;  // the smallest box holding every box below the node
    uint32_t first;   // leaf: first position in boxes_; inner node: index of its first child
    uint32_t count;   // leaf: number of its boxes, at least 1; inner node: 0
  };

  /// Fills node `node` for the boxes at positions first .. first + count - 1, adding its subtree.
  void build(uint32_t node, uint32_t first, uint32_t count);

  std::vector<Node> nodes_;      // the root first; an inner node's children side by side
  std::vector<SolidBox> boxes_;  // the boxes in leaf order
  std::vector<uint32_t> order_;  // the caller's index of each box in leaf order
};

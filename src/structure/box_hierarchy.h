#pragma once

#include <algorithm>
#include <cstdint>
#include <vector>

/// A node of a hierarchy of bounding boxes: a leaf holds a run of boxes, an inner node two
/// children. `Box` has lo[3] and hi[3] of one coordinate type.
template <typename Box>
struct HierarchyNode {
  Box bounds;      // the smallest box holding every box below the node
  uint32_t first;  // leaf: first position in the boxes; inner node: index of its first child
  uint32_t count;  // leaf: number of its boxes, at least 1; inner node: 0
};

/// Builds the hierarchy of `boxes` into `nodes` (the root first, an inner node's children side
/// by side), splitting at the median of the box centres along their widest spread until a node
/// holds at most `leaf_size` boxes; reorders `boxes` into leaf order and sets `order` to the
/// caller's index of each. Median splits keep the depth below 32 for any count that fits.
template <typename Box>
void build_box_hierarchy(std::vector<Box>& boxes, std::vector<uint32_t>& order,
                         std::vector<HierarchyNode<Box>>& nodes, uint32_t leaf_size);

namespace box_hierarchy_detail {

/// The centre doubled (lo + hi): the order of centres without a halving.
template <typename Box>
auto doubled_centre(const Box& box, int32_t axis) {
  return box.lo[axis] + box.hi[axis];
}

template <typename Box>
void build_node(std::vector<Box>& boxes, std::vector<uint32_t>& order,
                std::vector<HierarchyNode<Box>>& nodes, uint32_t leaf_size, uint32_t node,
                uint32_t first, uint32_t count) {
  Box bounds = boxes[first];
  for (uint32_t k = first + 1; k < first + count; ++k) {
    for (int32_t a = 0; a < 3; ++a) {
      bounds.lo[a] = std::min(bounds.lo[a], boxes[k].lo[a]);
      bounds.hi[a] = std::max(bounds.hi[a], boxes[k].hi[a]);
    }
  }
  nodes[node].bounds = bounds;
  if (count <= leaf_size) {
    nodes[node].first = first;
    nodes[node].count = count;
    return;
  }
  // Split at the median centre along the axis where the centres spread most.
  int32_t axis = 0;
  auto widest = doubled_centre(boxes[first], 0) - doubled_centre(boxes[first], 0);
  for (int32_t a = 0; a < 3; ++a) {
    auto low = doubled_centre(boxes[first], a), high = low;
    for (uint32_t k = first + 1; k < first + count; ++k) {
      low = std::min(low, doubled_centre(boxes[k], a));
      high = std::max(high, doubled_centre(boxes[k], a));
    }
    if (a == 0 || high - low > widest) {
      widest = high - low;
      axis = a;
    }
  }
  std::vector<uint32_t> positions(count);
  for (uint32_t k = 0; k < count; ++k) positions[k] = first + k;
  const uint32_t half = count / 2;
  std::nth_element(positions.begin(), positions.begin() + half, positions.end(),
                   [&boxes, axis](uint32_t a, uint32_t b) {
                     return doubled_centre(boxes[a], axis) < doubled_centre(boxes[b], axis);
                   });
  std::vector<Box> run(count);
  std::vector<uint32_t> run_order(count);
  for (uint32_t k = 0; k < count; ++k) {
    run[k] = boxes[positions[k]];
    run_order[k] = order[positions[k]];
  }
  std::copy(run.begin(), run.end(), boxes.begin() + first);
  std::copy(run_order.begin(), run_order.end(), order.begin() + first);

  const uint32_t children = static_cast<uint32_t>(nodes.size());
  nodes[node].first = children;
  nodes[node].count = 0;
  nodes.push_back(HierarchyNode<Box>{});
  nodes.push_back(HierarchyNode<Box>{});
  build_node(boxes, order, nodes, leaf_size, children, first, half);
  build_node(boxes, order, nodes, leaf_size, children + 1, first + half, count - half);
}

}  // namespace box_hierarchy_detail

template <typename Box>
void build_box_hierarchy(std::vector<Box>& boxes, std::vector<uint32_t>& order,
                         std::vector<HierarchyNode<Box>>& nodes, uint32_t leaf_size) {
  order.resize(boxes.size());
  for (uint32_t k = 0; k < order.size(); ++k) order[k] = k;
  nodes.clear();
  if (boxes.empty()) return;
  nodes.reserve(2 * boxes.size() / leaf_size + 2);
  nodes.push_back(HierarchyNode<Box>{});
  box_hierarchy_detail::build_node(boxes, order, nodes, leaf_size, 0, 0,
                                   static_cast<uint32_t>(boxes.size()));
}

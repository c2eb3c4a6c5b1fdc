#include "structure/box_index.h"

#include <algorithm>

namespace {

const uint32_t kLeafSize = 4;  // boxes a leaf holds at most

SolidBox bounds_of(const std::vector<SolidBox>& boxes, uint32_t first, uint32_t count) {
  SolidBox bounds = boxes[first];
  for (uint32_t k = first + 1; k < first + count; ++k) {
    for (int32_t a = 0; a < 3; ++a) {
      bounds.lo[a] = std::min(bounds.lo[a], boxes[k].lo[a]);
      bounds.hi[a] = std::max(bounds.hi[a], boxes[k].hi[a]);
    }
  }
  return bounds;
}

/// Centres are compared doubled (lo + hi), which stays in integers.
Femtometres doubled_centre(const SolidBox& box, int32_t axis) {
  return box.lo[axis] + box.hi[axis];
}

}  // namespace

BoxIndex::BoxIndex(const std::vector<SolidBox>& boxes) : boxes_(boxes) {
  order_.resize(boxes.size());
  for (uint32_t k = 0; k < order_.size(); ++k) order_[k] = k;
  if (boxes.empty()) return;
  nodes_.reserve(2 * boxes.size() / kLeafSize + 2);
  nodes_.push_back(Node{});
  build(0, 0, static_cast<uint32_t>(boxes.size()));
}

void BoxIndex::build(uint32_t node, uint32_t first, uint32_t count) {
  nodes_[node].bounds = bounds_of(boxes_, first, count);
  if (count <= kLeafSize) {
    nodes_[node].first = first;
    nodes_[node].count = count;
    return;
  }
  // Split at the median centre along the axis where the centres spread most.
  int32_t axis = 0;
  Femtometres widest = -1;
  for (int32_t a = 0; a < 3; ++a) {
    Femtometres low = doubled_centre(boxes_[first], a), high = low;
    for (uint32_t k = first + 1; k < first + count; ++k) {
      low = std::min(low, doubled_centre(boxes_[k], a));
      high = std::max(high, doubled_centre(boxes_[k], a));
    }
    if (high - low > widest) {
      widest = high - low;
      axis = a;
    }
  }
  std::vector<uint32_t> positions(count);
  for (uint32_t k = 0; k < count; ++k) positions[k] = first + k;
  const uint32_t half = count / 2;
  std::nth_element(positions.begin(), positions.begin() + half, positions.end(),
                   [this, axis](uint32_t a, uint32_t b) {
                     return doubled_centre(boxes_[a], axis) < doubled_centre(boxes_[b], axis);
                   });
  std::vector<SolidBox> boxes(count);
  std::vector<uint32_t> order(count);
  for (uint32_t k = 0; k < count; ++k) {
    boxes[k] = boxes_[positions[k]];
    order[k] = order_[positions[k]];
  }
  std::copy(boxes.begin(), boxes.end(), boxes_.begin() + first);
  std::copy(order.begin(), order.end(), order_.begin() + first);

  const uint32_t children = static_cast<uint32_t>(nodes_.size());
  nodes_[node].first = children;
  nodes_[node].count = 0;
  nodes_.push_back(Node{});
  nodes_.push_back(Node{});
  build(children, first, half);
  build(children + 1, first + half, count - half);
}

#include "structure/union_cavities.h"

#include <algorithm>

#include "structure/box_index.h"

namespace {

bool contains(const SolidBox& outer, const SolidBox& inner) {
  for (int32_t a = 0; a < 3; ++a) {
    if (outer.lo[a] > inner.lo[a] || inner.hi[a] > outer.hi[a]) return false;
  }
  return true;
}

/// Adds to `empty` the cells of `cell` outside every box of `inside`, the boxes that overlap
/// it: cut at the median of the coordinates of those boxes strictly inside it, along the axis
/// that has most of them, until a box holds the cell or none overlaps it.
void empty_cells(const std::vector<SolidBox>& boxes, const SolidBox& cell,
                 const std::vector<uint32_t>& inside, std::vector<SolidBox>& empty) {
  if (inside.empty()) {
    empty.push_back(cell);
    return;
  }
  std::vector<Femtometres> cuts[3];
  for (uint32_t k : inside) {
    if (contains(boxes[k], cell)) return;
    for (int32_t a = 0; a < 3; ++a) {
      for (Femtometres c : {boxes[k].lo[a], boxes[k].hi[a]}) {
        if (cell.lo[a] < c && c < cell.hi[a]) cuts[a].push_back(c);
      }
    }
  }
  int32_t axis = 0;
  for (int32_t a = 0; a < 3; ++a) {
    std::sort(cuts[a].begin(), cuts[a].end());
    cuts[a].erase(std::unique(cuts[a].begin(), cuts[a].end()), cuts[a].end());
    if (cuts[a].size() > cuts[axis].size()) axis = a;
  }
  // Some box overlaps the cell without holding it, so it has a coordinate inside the cell.
  const Femtometres cut = cuts[axis][cuts[axis].size() / 2];
  SolidBox halves[2] = {cell, cell};
  halves[0].hi[axis] = cut;
  halves[1].lo[axis] = cut;
  for (const SolidBox& half : halves) {
    std::vector<uint32_t> overlapping;
    for (uint32_t k : inside) {
      if (boxes_overlap(boxes[k], half)) overlapping.push_back(k);
    }
    empty_cells(boxes, half, overlapping, empty);
  }
}

uint32_t root_of(std::vector<uint32_t>& parent, uint32_t k) {
  while (parent[k] != k) k = parent[k] = parent[parent[k]];
  return k;
}

/// Whether two cells that do not overlap share a face over an area.
bool share_a_face(const SolidBox& a, const SolidBox& b) {
  int32_t touching = 0, overlapping = 0;
  for (int32_t k = 0; k < 3; ++k) {
    if (a.hi[k] == b.lo[k] || b.hi[k] == a.lo[k]) ++touching;
    if (a.lo[k] < b.hi[k] && b.lo[k] < a.hi[k]) ++overlapping;
  }
  return touching == 1 && overlapping == 2;
}

}  // namespace

std::vector<std::vector<SolidBox>> union_cavities(const std::vector<SolidBox>& boxes) {
  std::vector<std::vector<SolidBox>> cavities;
  if (boxes.empty()) return cavities;
  SolidBox extent = boxes[0];
  std::vector<uint32_t> all(boxes.size());
  for (uint32_t k = 0; k < boxes.size(); ++k) {
    all[k] = k;
    for (int32_t a = 0; a < 3; ++a) {
      extent.lo[a] = std::min(extent.lo[a], boxes[k].lo[a]);
      extent.hi[a] = std::max(extent.hi[a], boxes[k].hi[a]);
    }
  }
  std::vector<SolidBox> empty;
  empty_cells(boxes, extent, all, empty);

  // Cells joined through shared faces; the last node stands for the space beyond the extent.
  const uint32_t outside = static_cast<uint32_t>(empty.size());
  std::vector<uint32_t> parent(empty.size() + 1);
  for (uint32_t k = 0; k < parent.size(); ++k) parent[k] = k;
  auto join = [&parent](uint32_t a, uint32_t b) {
    a = root_of(parent, a);
    b = root_of(parent, b);
    parent[std::max(a, b)] = std::min(a, b);
  };
  const BoxIndex index(empty);
  for (uint32_t k = 0; k < empty.size(); ++k) {
    for (int32_t a = 0; a < 3; ++a) {
      if (empty[k].lo[a] == extent.lo[a] || empty[k].hi[a] == extent.hi[a]) join(k, outside);
    }
    index.for_each_meeting(empty[k], [&](uint32_t m) {
      if (m > k && share_a_face(empty[k], empty[m])) join(k, m);
    });
  }
  std::vector<int32_t> cavity_of_root(parent.size(), -1);
  const uint32_t outside_root = root_of(parent, outside);
  for (uint32_t k = 0; k < empty.size(); ++k) {
    const uint32_t root = root_of(parent, k);
    if (root == outside_root) continue;
    if (cavity_of_root[root] < 0) {
      cavity_of_root[root] = static_cast<int32_t>(cavities.size());
      cavities.emplace_back();
    }
    cavities[cavity_of_root[root]].push_back(empty[k]);
  }
  return cavities;
}

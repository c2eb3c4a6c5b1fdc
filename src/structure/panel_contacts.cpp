#include "structure/panel_contacts.h"

#include <algorithm>
#include <cstdint>

#include "common/message_text.h"
#include "structure/space_box.h"

namespace {

/// Panel positions in order of their lower ends along `axis`, ties in file order.
std::vector<uint32_t> sorted_along(const std::vector<SpaceBox>& extents, int axis) {
  std::vector<uint32_t> order(extents.size());
  for (uint32_t k = 0; k < order.size(); ++k) order[k] = k;
  std::sort(order.begin(), order.end(), [&extents, axis](uint32_t a, uint32_t b) {
    double lo_a = extents[a].lo[axis], lo_b = extents[b].lo[axis];
    return lo_a < lo_b || (lo_a == lo_b && a < b);
  });
  return order;
}

/// For each position in `order`, how many later ones start before it ends along `axis`: the
/// pairs that the sweep along `axis` visits.
uint64_t pairs_visited(const std::vector<SpaceBox>& extents, const std::vector<uint32_t>& order,
                       int axis) {
  std::vector<double> lower_ends(order.size());
  for (size_t k = 0; k < order.size(); ++k) lower_ends[k] = extents[order[k]].lo[axis];
  uint64_t pairs = 0;
  for (size_t k = 0; k < order.size(); ++k) {
    double upper = extents[order[k]].hi[axis];
    pairs += std::upper_bound(lower_ends.begin() + k + 1, lower_ends.end(), upper) -
             (lower_ends.begin() + k + 1);
  }
  return pairs;
}

/// For two panels that share a point: true when they lie in one plane and their interiors meet.
bool overlap_over_an_area(const AxisRect& a, const AxisRect& b) {
  if (a.axis != b.axis) return false;
  for (int side = 0; side < 2; ++side) {
    if (std::max(a.lo[side], b.lo[side]) >= std::min(a.hi[side], b.hi[side])) return false;
  }
  return true;
}

std::string conductor_name(const FineStructure& structure, uint32_t conductor) {
  const FineConductor& named = structure.conductors[conductor];
  return "'" + printable(named.label) + "' (from panel record " +
         std::to_string(named.first_panel + 1) + ")";
}

}  // namespace

std::string check_panel_contacts(const FineStructure& structure) {
  const std::vector<AxisRect>& panels = structure.panels;
  std::vector<SpaceBox> extents;
  extents.reserve(panels.size());
  for (const AxisRect& rect : panels) extents.push_back(space_box(rect));

  int sweep_axis = 0;
  std::vector<uint32_t> order;
  uint64_t fewest = UINT64_MAX;
  for (int axis = 0; axis < 3; ++axis) {
    std::vector<uint32_t> sorted = sorted_along(extents, axis);
    uint64_t pairs = pairs_visited(extents, sorted, axis);
    if (pairs < fewest) {
      fewest = pairs;
      sweep_axis = axis;
      order.swap(sorted);
    }
  }

  // The faulty pair found so far that comes first, as (later, earlier) panel positions.
  uint32_t later = UINT32_MAX, earlier = UINT32_MAX;
  bool touching = false;  // that pair belongs to two conductors; else it overlaps within one
  for (size_t k = 0; k < order.size(); ++k) {
    const SpaceBox& first = extents[order[k]];
    for (size_t m = k + 1; m < order.size(); ++m) {
      const SpaceBox& second = extents[order[m]];
      if (second.lo[sweep_axis] > first.hi[sweep_axis]) break;
      if (boxes_apart(first, second)) continue;
      uint32_t a = std::min(order[k], order[m]), b = std::max(order[k], order[m]);
      bool two_conductors = structure.conductor_of_panel[a] != structure.conductor_of_panel[b];
      if (!two_conductors && !overlap_over_an_area(panels[a], panels[b])) continue;
      if (b < later || (b == later && a < earlier)) {
        later = b;
        earlier = a;
        touching = two_conductors;
      }
    }
  }
  if (later == UINT32_MAX) return "";
  std::string pair = std::to_string(earlier + 1) + " and " + std::to_string(later + 1);
  if (!touching) return "Error: Panel records " + pair + " overlap over a positive area.";
  return "Error: Conductors " + conductor_name(structure, structure.conductor_of_panel[earlier]) +
         " and " + conductor_name(structure, structure.conductor_of_panel[later]) +
         " touch: panel records " + pair + " share a point, so they would be one conductor.";
}

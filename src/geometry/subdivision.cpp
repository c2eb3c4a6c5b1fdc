#include <cstdint>
#include <sstream>
#include <string>

#include "model/capacitance_extractor.h"
#include "model/panel.h"

namespace {

/// from + (to - from) * 0.5, coordinate by coordinate: the midpoint formed
/// from its first-named end.
Point3 midpoint(const Point3& from, const Point3& to) {
  return Point3{from.x + (to.x - from.x) * 0.5, from.y + (to.y - from.y) * 0.5,
                from.z + (to.z - from.z) * 0.5};
}

bool same_point(const Point3& a, const Point3& b) { return a.x == b.x && a.y == b.y && a.z == b.z; }

/// The message for a side from `a` to `b` whose midpoint `m` rounds to one of its ends, "" when
/// it does not. This happens only where a coordinate's spacing of doubles exceeds half the side
/// (from about 1e15 on, as the side is longer than 0.5): one half would then be the whole side
/// again, and the refinement would split it for ever.
std::string unhalvable_side(const Panel& parent, const Point3& a, const Point3& b,
                            const Point3& m) {
  if (!same_point(m, a) && !same_point(m, b)) return "";
  std::ostringstream message;
  message << "Error: Panel record " << parent.root_index + 1
          << " cannot be refined: its coordinates are too large for a side of length "
          << distance(a, b) << " to be halved.";
  return message.str();
}

}  // namespace

bool CapacitanceExtractor::subdivide_panel(Panel parent) {
  // Positions and the count after the split, panel_count + 2, must stay signed 32-bit.
  if (panel_count > static_cast<uint32_t>(INT32_MAX) - 2) {
    failure = Failure{"Error: The refinement needs more than " + std::to_string(INT32_MAX) +
                      " panels, more than panel positions can address."};
    return false;
  }
  Panel first;
  Panel second;
  first = parent;
  second = parent;

  const Point3* v = parent.vertices;
  std::string unhalvable;
  double side_12 = distance(v[0], v[1]);
  double side_14 = distance(v[0], v[3]);
  if (side_12 > side_14) {
    // Halve the side from vertex 1 to vertex 2 (and its opposite, 4 to 3).
    Point3 m12 = midpoint(v[0], v[1]);
    unhalvable = unhalvable_side(parent, v[0], v[1], m12);
    Point3 m43 = midpoint(v[3], v[2]);
    first.vertices[1] = m12;
    first.vertices[2] = m43;
    second.vertices[0] = m12;
    second.vertices[3] = m43;
  } else {
    // Halve the side from vertex 1 to vertex 4 (and its opposite, 2 to 3).
    Point3 m14 = midpoint(v[0], v[3]);
    unhalvable = unhalvable_side(parent, v[0], v[3], m14);
    Point3 m23 = midpoint(v[1], v[2]);
    first.vertices[2] = m23;
    first.vertices[3] = m14;
    second.vertices[0] = m14;
    second.vertices[1] = m23;
  }
  if (!unhalvable.empty()) {
    failure = Failure{unhalvable};
    return false;
  }

  int32_t n = static_cast<int32_t>(panel_count);
  first.index = n;
  first.compute_centre();
  first.compute_area();
  first.parent = parent.index;
  first.first_child = -1;
  first.second_child = -1;
  first.child_kind = kFirstChild;
  panel_count = n + 1;

  second.index = n + 1;
  second.compute_centre();
  second.compute_area();
  second.parent = parent.index;
  second.first_child = -1;
  second.second_child = -1;
  second.child_kind = kSecondChild;
  panel_count = n + 2;

  // Link the parent before appending: the append may move the storage.
  Panel& stored_parent = panels[parent.index];
  stored_parent.first_child = n;
  stored_parent.second_child = n + 1;
  stored_parent.is_split = true;

  panels.append(first);
  panels.append(second);
  return true;
}

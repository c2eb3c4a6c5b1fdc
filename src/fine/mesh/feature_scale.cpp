#include "fine/mesh/feature_scale.h"

#include <algorithm>

#include "fine/mesh/face_hierarchy.h"

namespace {

/// The nearest gap from face f to the faces that `where(g)` accepts and that are not a detail of
/// f's own conductor, bounded by f's longer side.
/// A gap at or below `floor` may end the search (FaceHierarchy::nearest_gap).
template <typename Where>
double nearest_counted_gap(const FaceHierarchy& hierarchy, const std::vector<AxisRect>& faces,
                           const std::vector<SpaceBox>& boxes, const std::vector<uint32_t>& owner,
                           double own_detail, size_t f, Where where, double floor = 0.0) {
  const AxisRect& r = faces[f];
  const double longer = std::max(r.hi[0] - r.lo[0], r.hi[1] - r.lo[1]);
  return hierarchy.nearest_gap(
      boxes[f], longer,
      [&](uint32_t g, double distance) {
        return counts_as_feature(r, owner[f], faces[g], owner[g], distance, own_detail) &&
               where(g, distance);
      },
      floor);
}

std::vector<SpaceBox> boxes_of(const std::vector<AxisRect>& faces) {
  std::vector<SpaceBox> boxes(faces.size());
  for (size_t f = 0; f < faces.size(); ++f) boxes[f] = space_box(faces[f]);
  return boxes;
}

/// The space axis along extent k of a face whose normal is `axis` (as AxisRect orders them).
int32_t space_axis(int32_t axis, int32_t k) { return (axis + 1 + k) % 3; }

}  // namespace

bool counts_as_feature(const AxisRect& f, uint32_t owner_f, const AxisRect& g, uint32_t owner_g,
                       double gap, double own_detail) {
  const double shorter_f = std::min(f.hi[0] - f.lo[0], f.hi[1] - f.lo[1]);
  if (owner_f != kNoConductor && owner_g == owner_f) return gap >= own_detail * shorter_f;
  if (owner_f != kNoConductor && owner_g != kNoConductor) return true;
  const double shorter_g = std::min(g.hi[0] - g.lo[0], g.hi[1] - g.lo[1]);
  return gap >= kTinyGap * std::max(shorter_f, shorter_g);
}

std::vector<double> feature_scales(const std::vector<AxisRect>& faces,
                                   const std::vector<uint32_t>& owner, double own_detail) {
  const std::vector<SpaceBox> boxes = boxes_of(faces);
  const FaceHierarchy hierarchy(boxes);
  std::vector<double> scale(2 * faces.size());
  for (size_t f = 0; f < faces.size(); ++f) {
    const AxisRect& r = faces[f];
    const double gap = nearest_counted_gap(hierarchy, faces, boxes, owner, own_detail, f,
                                           [](uint32_t, double) { return true; });
    for (int32_t k = 0; k < 2; ++k) scale[2 * f + k] = std::min(r.hi[k] - r.lo[k], gap);
  }
  return scale;
}

std::vector<double> middle_scales(const std::vector<AxisRect>& faces,
                                  const std::vector<uint32_t>& owner, double own_detail) {
  const std::vector<SpaceBox> boxes = boxes_of(faces);
  const FaceHierarchy hierarchy(boxes);
  std::vector<double> scale(2 * faces.size());
  for (size_t f = 0; f < faces.size(); ++f) {
    const AxisRect& r = faces[f];
    const double shorter = std::min(r.hi[0] - r.lo[0], r.hi[1] - r.lo[1]);
    for (int32_t k = 0; k < 2; ++k) {
      const int32_t axis = space_axis(r.axis, k);
      const double lo = r.lo[k], hi = r.hi[k];
      // The shorter extent's scale is its length whatever lies near.
      if (hi - lo <= shorter) {
        scale[2 * f + k] = shorter;
        continue;
      }
      // An end nearer to the face's end than to the face is that end's: its edge layer grades
      // towards both.
      auto ends_inside = [&](uint32_t g, double distance) {
        const SpaceBox& b = boxes[g];
        const double from = lo + distance, to = hi - distance;
        return (b.lo[axis] > from && b.lo[axis] < to) || (b.hi[axis] > from && b.hi[axis] < to);
      };
      // Any gap up to the shorter side gives the shorter side: the first such one ends the search.
      const double gap =
          nearest_counted_gap(hierarchy, faces, boxes, owner, own_detail, f, ends_inside, shorter);
      scale[2 * f + k] = std::max(std::min(hi - lo, gap), shorter);
    }
  }
  return scale;
}

std::vector<double> feature_scales(const FineStructure& structure, double own_detail) {
  return feature_scales(structure.panels, structure.conductor_of_panel, own_detail);
}

#include "fine/mesh/feature_scale.h"

#include <algorithm>

#include "fine/mesh/face_hierarchy.h"

std::vector<double> feature_scales(const std::vector<AxisRect>& faces,
                                   const std::vector<uint32_t>& owner, double own_detail) {
  const size_t n = faces.size();
  std::vector<SpaceBox> boxes(n);
  for (size_t f = 0; f < n; ++f) boxes[f] = space_box(faces[f]);
  const FaceHierarchy hierarchy(boxes);
  std::vector<double> scale(2 * n);
  for (size_t f = 0; f < n; ++f) {
    const AxisRect& r = faces[f];
    const double length[2] = {r.hi[0] - r.lo[0], r.hi[1] - r.lo[1]};
    const double detail = own_detail * std::min(length[0], length[1]);
    const uint32_t conductor = owner[f];
    const double gap = hierarchy.nearest_gap(
        boxes[f], std::max(length[0], length[1]), [&](uint32_t g, double distance) {
          return conductor == kNoConductor || owner[g] != conductor || distance >= detail;
        });
    for (int32_t k = 0; k < 2; ++k) scale[2 * f + k] = std::min(length[k], gap);
  }
  return scale;
}

std::vector<double> feature_scales(const FineStructure& structure, double own_detail) {
  return feature_scales(structure.panels, structure.conductor_of_panel, own_detail);
}

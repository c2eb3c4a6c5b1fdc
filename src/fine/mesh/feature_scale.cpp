#include "fine/mesh/feature_scale.h"

#include <algorithm>

#include "fine/mesh/face_hierarchy.h"

std::vector<double> feature_scales(const FineStructure& structure) {
  const size_t n = structure.panels.size();
  std::vector<SpaceBox> boxes(n);
  for (size_t f = 0; f < n; ++f) boxes[f] = space_box(structure.panels[f]);
  const FaceHierarchy hierarchy(boxes);
  std::vector<double> scale(n);
  for (size_t f = 0; f < n; ++f) {
    const AxisRect& r = structure.panels[f];
    const double side = std::min(r.hi[0] - r.lo[0], r.hi[1] - r.lo[1]);
    scale[f] = hierarchy.nearest_gap(boxes[f], side, [](uint32_t, double) { return true; });
  }
  return scale;
}

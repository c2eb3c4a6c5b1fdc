#include "fine/mesh/feature_scale.h"

#include <algorithm>
#include <cmath>

#include "structure/space_box.h"

std::vector<double> feature_scales(const FineStructure& structure) {
  const size_t n = structure.panels.size();
  std::vector<SpaceBox> boxes(n);
  std::vector<double> scale(n);
  for (size_t f = 0; f < n; ++f) {
    const AxisRect& r = structure.panels[f];
    boxes[f] = space_box(r);
    scale[f] = std::min(r.hi[0] - r.lo[0], r.hi[1] - r.lo[1]);
  }
  // All pairs: the number of faces is small next to the number of panels of any level.
  for (size_t f = 0; f < n; ++f) {
    for (size_t g = f + 1; g < n; ++g) {
      const double distance = box_gap(boxes[f], boxes[g]);
      if (distance == 0.0) continue;  // the faces touch
      scale[f] = std::min(scale[f], distance);
      scale[g] = std::min(scale[g], distance);
    }
  }
  return scale;
}

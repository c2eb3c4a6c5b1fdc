#include "fine/mesh/feature_scale.h"

#include <algorithm>
#include <cmath>

std::vector<double> feature_scales(const FineStructure& structure) {
  const size_t n = structure.panels.size();
  std::vector<double> lo(3 * n), hi(3 * n), scale(n);
  for (size_t f = 0; f < n; ++f) {
    const AxisRect& r = structure.panels[f];
    rect_bounds(r, &lo[3 * f], &hi[3 * f]);
    scale[f] = std::min(r.hi[0] - r.lo[0], r.hi[1] - r.lo[1]);
  }
  // All pairs: the number of faces is small next to the number of panels of any level.
  for (size_t f = 0; f < n; ++f) {
    for (size_t g = f + 1; g < n; ++g) {
      double sum = 0.0;
      for (int a = 0; a < 3; ++a) {
        double gap = std::max({0.0, lo[3 * g + a] - hi[3 * f + a], lo[3 * f + a] - hi[3 * g + a]});
        sum += gap * gap;
      }
      if (sum == 0.0) continue;
      double distance = std::sqrt(sum);
      scale[f] = std::min(scale[f], distance);
      scale[g] = std::min(scale[g], distance);
    }
  }
  return scale;
}

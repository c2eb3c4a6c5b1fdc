#include "tools/isometric_projection.h"

#include <cmath>

// The picture's right and up directions are (1, -1, 0) / sqrt(2) and
// (1, 1, 2) / sqrt(6), both at right angles to the line of sight.

ScreenPoint project(const Point3& p) {
  return ScreenPoint{(p.x - p.y) / std::sqrt(2.0), -(p.x + p.y + 2.0 * p.z) / std::sqrt(6.0)};
}

double depth(const Point3& p) { return (p.x + p.y - p.z) / std::sqrt(3.0); }

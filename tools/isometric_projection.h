#pragma once

#include "model/point3.h"

/// A point of the picture, in SVG orientation: x to the right, y downwards.
struct ScreenPoint {
  double x;  // to the right
  double y;  // downwards
};

/// Isometric view from above, from the side of negative x and y: on the
/// picture the x axis runs right and up, the y axis left and up, z straight up.
/// Lengths along each axis shrink by the same factor, sqrt(2/3).
ScreenPoint project(const Point3& p);

/// Distance from the viewer along the line of sight, up to a constant;
/// larger is farther. Along (1, 1, -1), the direction the viewer looks in.
double depth(const Point3& p);

#include "structure/rect_from_corners.h"

#include <algorithm>

namespace {

const char* const kAxisNames[3] = {"x", "y", "z"};

double coordinate(const Point3& point, int axis) {
  return axis == 0 ? point.x : axis == 1 ? point.y : point.z;
}

}  // namespace

std::string axis_rect_from_corners(const Point3 (&corners)[4], AxisRect& rect) {
  int axis = 0;
  for (; axis < 3; ++axis) {
    double plane = coordinate(corners[0], axis);
    if (coordinate(corners[1], axis) == plane && coordinate(corners[2], axis) == plane &&
        coordinate(corners[3], axis) == plane) {
      break;
    }
  }
  if (axis == 3) {
    return "the panel is not parallel to a coordinate plane: no coordinate is the same at its "
           "four vertices.";
  }
  rect.axis = axis;
  rect.plane = coordinate(corners[0], axis);
  const int along[2] = {(axis + 1) % 3, (axis + 2) % 3};
  for (int side = 0; side < 2; ++side) {
    double first = coordinate(corners[0], along[side]);
    double third = coordinate(corners[2], along[side]);
    if (first == third) {
      return std::string("the panel has no area: vertices 1 and 3 have the same ") +
             kAxisNames[along[side]] + " coordinate.";
    }
    rect.lo[side] = std::min(first, third);
    rect.hi[side] = std::max(first, third);
  }
  // Around the rectangle, each of corners 2 and 4 takes one in-plane coordinate from corner 1
  // and the other from corner 3; which one decides the direction.
  auto takes = [&along](const Point3& corner, const Point3& first_from, const Point3& second_from) {
    return coordinate(corner, along[0]) == coordinate(first_from, along[0]) &&
           coordinate(corner, along[1]) == coordinate(second_from, along[1]);
  };
  bool one_way =
      takes(corners[1], corners[0], corners[2]) && takes(corners[3], corners[2], corners[0]);
  bool other_way =
      takes(corners[1], corners[2], corners[0]) && takes(corners[3], corners[0], corners[2]);
  if (!one_way && !other_way) {
    return "vertices 2 and 4 are not the other two corners of the rectangle from vertex 1 to "
           "vertex 3, in order around it.";
  }
  return "";
}

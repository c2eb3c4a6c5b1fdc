#pragma once

#include <string>

#include "model/point3.h"
#include "structure/axis_rect.h"

/// The rectangle with corners 1 to 4 at `corners`, in order around it: "" with `rect` set, or
/// the reason why they are no such rectangle, a clause for a message about the record. The
/// tests are exact comparisons of the coordinates as read: the four share one coordinate, the
/// rectangle from corner 1 to corner 3 has a positive area, and corners 2 and 4 are its other
/// two corners, in either direction around it.
std::string axis_rect_from_corners(const Point3 (&corners)[4], AxisRect& rect);

#pragma once

#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

#include "model/point3.h"

/// A conductor shaped as a box with its sides parallel to the axes.
struct Box {
  Point3 low;   // the corner with the smallest x, y and z
  Point3 high;  // the opposite corner; each coordinate above low's
};

/// A whole structure as one panel file holds it.
struct Structure {
  std::string title;       // first line: what it is and its unit; never a token "Q"
  std::vector<Box> boxes;  // conductors in file order, numbered 1, 2, ...
};

/// The shortest decimal text that reads back as exactly `value` ("10",
/// "0.30000000000000004", "1e-06"); the reader accepts every such form.
std::string format_number(double value);

/// Writes the six faces of `box` as "Q" records of conductor `number`, the
/// vertices of each face in order around it, so that vertex 3 is opposite 1.
void write_box(std::ostream& out, int32_t number, const Box& box);

/// The title line, then conductor 1, 2, ... one box each.
void write_structure(std::ostream& out, const Structure& structure);

/// False when a coordinate is infinite or not a number, as huge arguments can
/// make it; such a structure must not be written.
bool has_finite_coordinates(const Structure& structure);

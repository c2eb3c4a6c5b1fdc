#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "model/point3.h"

/// One rectangle to draw.
struct PictureFace {
  Point3 corners[4];  // in order around the rectangle, as in a panel record
  int32_t conductor;  // the conductor's position in file order, from 0
};

/// Everything an SVG picture of a structure shows.
struct Picture {
  std::string caption;                        // one line above the drawing; any bytes
  std::vector<PictureFace> faces;             // in any order; drawn farthest first
  std::vector<std::string> conductor_labels;  // each conductor's label in the file, file order
  bool fine_outlines = false;                 // thin outlines, for many small leaf panels
};

/// Orders `faces` for painting: the centre (midpoint of corners 1 and 3)
/// farthest from the viewer first; faces at equal depth keep their order.
void sort_back_to_front(std::vector<PictureFace>& faces);

/// A complete SVG document: the caption, one filled and outlined polygon per
/// face in the isometric view, coloured by conductor and shaded by the face's
/// orientation, and a legend with one entry per conductor, its columns as wide as the longest
/// label needs.
std::string render_svg(const Picture& picture);

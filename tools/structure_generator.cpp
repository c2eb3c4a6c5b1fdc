#include "tools/structure_generator.h"

#include <string>

Structure cube_structure(double side) {
  std::string name = side == 1.0 ? "unit cube" : "cube";
  return Structure{name + " [0," + format_number(side) + "]^3, metres",
                   {Box{{0.0, 0.0, 0.0}, {side, side, side}}}};
}

Structure plates_structure(double width, double gap, double thickness) {
  std::string w = format_number(width);
  Structure plates;
  plates.title = "two parallel plates " + w + " x " + w + ", thickness " +
                 format_number(thickness) + ", gap " + format_number(gap) + ", metres";
  plates.boxes.push_back(Box{{0.0, 0.0, 0.0}, {width, width, thickness}});
  plates.boxes.push_back(
      Box{{0.0, 0.0, thickness + gap}, {width, width, thickness + gap + thickness}});
  return plates;
}

Structure bus_structure(int32_t k, double scale) {
  std::string count = std::to_string(k);
  Structure bus;
  bus.title = "crossing bus " + count + " x " + count + ", wires " + format_number(scale) +
              " wide, pitch " + format_number(2.0 * scale) + ", metres";
  // Computed in whole numbers first, scaled once: every coordinate is the
  // nearest double to the exact product.
  double length = 2.0 * k + 1.0;
  for (int32_t i = 0; i < k; ++i) {
    double y = 2.0 * i + 1.0;
    bus.boxes.push_back(
        Box{{0.0, y * scale, 0.0}, {length * scale, (y + 1.0) * scale, 1.0 * scale}});
  }
  for (int32_t j = 0; j < k; ++j) {
    double x = 2.0 * j + 1.0;
    bus.boxes.push_back(
        Box{{x * scale, 0.0, 2.0 * scale}, {(x + 1.0) * scale, length * scale, 3.0 * scale}});
  }
  return bus;
}

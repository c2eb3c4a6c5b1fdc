#include "tools/box_writer.h"

#include <charconv>
#include <cmath>

std::string format_number(double value) {
  // 32 characters hold any double in its shortest round-trip form.
  char text[32];
  std::to_chars_result result = std::to_chars(text, text + sizeof text, value);
  return std::string(text, result.ptr);
}

namespace {

void write_face(std::ostream& out, int32_t number, const Point3 (&corners)[4]) {
  out << "Q " << number;
  for (const Point3& corner : corners) {
    out << "  " << format_number(corner.x) << ' ' << format_number(corner.y) << ' '
        << format_number(corner.z);
  }
  out << '\n';
}

}  // namespace

void write_box(std::ostream& out, int32_t number, const Box& box) {
  const Point3& a = box.low;
  const Point3& b = box.high;
  // Faces in the order z low, z high, y low, y high, x low, x high; each one
  // starts at its corner of smallest coordinates.
  const Point3 faces[6][4] = {
      {{a.x, a.y, a.z}, {b.x, a.y, a.z}, {b.x, b.y, a.z}, {a.x, b.y, a.z}},
      {{a.x, a.y, b.z}, {b.x, a.y, b.z}, {b.x, b.y, b.z}, {a.x, b.y, b.z}},
      {{a.x, a.y, a.z}, {b.x, a.y, a.z}, {b.x, a.y, b.z}, {a.x, a.y, b.z}},
      {{a.x, b.y, a.z}, {b.x, b.y, a.z}, {b.x, b.y, b.z}, {a.x, b.y, b.z}},
      {{a.x, a.y, a.z}, {a.x, b.y, a.z}, {a.x, b.y, b.z}, {a.x, a.y, b.z}},
      {{b.x, a.y, a.z}, {b.x, b.y, a.z}, {b.x, b.y, b.z}, {b.x, a.y, b.z}},
  };
  for (const auto& face : faces) write_face(out, number, face);
}

void write_structure(std::ostream& out, const Structure& structure) {
  out << structure.title << '\n';
  int32_t number = 1;
  for (const Box& box : structure.boxes) write_box(out, number++, box);
}

bool has_finite_coordinates(const Structure& structure) {
  for (const Box& box : structure.boxes) {
    for (const Point3& p : {box.low, box.high}) {
      if (!std::isfinite(p.x) || !std::isfinite(p.y) || !std::isfinite(p.z)) return false;
    }
  }
  return true;
}

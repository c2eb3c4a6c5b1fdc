#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>

#include "structure/axis_rect.h"

/// An AxisRect as a box in space, a flat one: lower and upper coordinate along x, y and z, equal
/// along the normal.
struct SpaceBox {
  double lo[3];  // lower coordinate along x, y, z
  double hi[3];  // upper coordinate along x, y, z; equal to lo along the normal
};

inline SpaceBox space_box(const AxisRect& r) {
  static constexpr int32_t kFirst[3] = {1, 2, 0}, kSecond[3] = {2, 0, 1};  // (axis + 1, 2) % 3
  SpaceBox box;
  const int32_t u = kFirst[r.axis], v = kSecond[r.axis];
  box.lo[r.axis] = box.hi[r.axis] = r.plane;
  box.lo[u] = r.lo[0];
  box.hi[u] = r.hi[0];
  box.lo[v] = r.lo[1];
  box.hi[v] = r.hi[1];
  return box;
}

/// The shortest distance between a point of one box and a point of the other. std::max, not
/// std::fmax: the coordinates are never NaN, so both give the same sum to the bit (a zero of
/// either sign squares to +0), and fmax is a library call where max is one instruction; the
/// searches of the mesh stage spend a seventh of their time in it otherwise.
inline double box_gap(const SpaceBox& a, const SpaceBox& b) {
  double sum = 0.0;
  for (int32_t k = 0; k < 3; ++k) {
    const double d = std::max(std::max(a.lo[k] - b.hi[k], b.lo[k] - a.hi[k]), 0.0);
    sum += d * d;
  }
  return std::sqrt(sum);
}

/// True when the boxes are apart: neither touches nor overlaps the other.
inline bool boxes_apart(const SpaceBox& a, const SpaceBox& b) {
  for (int32_t k = 0; k < 3; ++k) {
    if (a.lo[k] > b.hi[k] || b.lo[k] > a.hi[k]) return true;
  }
  return false;
}

/// The longest distance between a corner of one box and a corner of the other.
inline double box_reach(const SpaceBox& a, const SpaceBox& b) {
  double sum = 0.0;
  for (int32_t k = 0; k < 3; ++k) {
    const double d = std::max(std::fabs(a.hi[k] - b.lo[k]), std::fabs(b.hi[k] - a.lo[k]));
    sum += d * d;
  }
  return std::sqrt(sum);
}

/// The power of two 2^e with length < 2^e ≤ 2·length, for a positive normal length; dividing
/// by it, or multiplying by its inverse, is exact.
inline double power_of_two_above(double length) {
  uint64_t bits;
  std::memcpy(&bits, &length, sizeof bits);
  bits = ((bits >> 52) + 1) << 52;
  double power;
  std::memcpy(&power, &bits, sizeof power);
  return power;
}

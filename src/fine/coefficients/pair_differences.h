#pragma once

// The coordinate differences between the edges of two rectangles that the closed forms sum their
// primitives over, in a frame of the pair's own: in units of its reach, mirrored and relabelled
// into one canonical orientation.

#include <cstdint>
#include <utility>

#include "structure/axis_rect.h"
#include "structure/space_box.h"

// The coordinate differences the sums take, in units of the largest corner distance: so the
// logarithms stay near 1 whatever the unit of length, and the pair and the same pair in
// another unit make the same sums up to the rounding of their coordinates (so do the rounding
// estimates that decide between the means). Parallel: xᵢ − x'ₖ and yⱼ − y'ₗ at index 2i + k
// (2j + l), z − z'. Perpendicular, in the frame where a lies in z = z₁ spanning x and y and b
// in y = y' spanning x and z: xᵢ − x'ₗ, yⱼ − y' and z₁ − z'ₖ. In long double the differences of
// the doubles are exact unless their magnitudes are far apart, and the unit is a power of two
// (conversions exact); in double their rounding is part of that path's loss.
template <typename Real>
struct Differences {
  double scale;        // the unit
  Real xs[4];          // along the axis both span
  Real ys[4];          // along the second axis: four (parallel) or two (perpendicular)
  Real zs[2];          // along a's normal: one (parallel) or two (perpendicular)
  double normal_sign;  // −1 where the frame is mirrored along a's normal, else 1
};

// The differences along one axis of the frame mirrored: reversed, with their signs changed.
template <typename Real>
void mirror(Real* values, int32_t count) {
  for (int32_t i = 0; i < count / 2; ++i) {
    const Real low = values[i];
    values[i] = -values[count - 1 - i];
    values[count - 1 - i] = -low;
  }
}

// Mirrors the frame along each axis where b's centre lies beyond a's (for parallel rectangles
// not along their normal), and for parallel rectangles puts the two axes of their plane in order
// (the primitives are symmetric in X and Y): the sums, and the rounding estimate with them, are
// then the same for a pair, its mirror images and its copies with the axes relabelled.
template <typename Real>
void canonical_frame(Differences<Real>& d, bool parallel) {
  const int32_t y_count = parallel ? 4 : 2;
  if (d.xs[0] + d.xs[3] < 0) mirror(d.xs, 4);
  if (d.ys[0] + d.ys[y_count - 1] < 0) mirror(d.ys, y_count);
  d.normal_sign = 1;
  if (!parallel && d.zs[0] + d.zs[1] < 0) {
    mirror(d.zs, 2);
    d.normal_sign = -1;
  }
  if (parallel) {
    for (int32_t i = 0; i < 4; ++i) {
      if (d.xs[i] == d.ys[i]) continue;
      if (d.xs[i] > d.ys[i]) {
        for (int32_t k = 0; k < 4; ++k) std::swap(d.xs[k], d.ys[k]);
      }
      break;
    }
  }
}

template <typename Real>
Differences<Real> differences(const AxisRect& a, const AxisRect& b) {
  const SpaceBox box_a = space_box(a), box_b = space_box(b);
  Differences<Real> d;
  const double reach = box_reach(box_a, box_b);
  d.scale = sizeof(Real) > sizeof(double) ? power_of_two_above(reach) : reach;
  const Real unit = d.scale;
  const int32_t p = a.axis, shared = a.axis == b.axis ? (p + 1) % 3 : 3 - a.axis - b.axis;
  const int32_t q = a.axis == b.axis ? (p + 2) % 3 : b.axis;
  for (int32_t i = 0; i < 2; ++i) {
    const Real ax = i == 0 ? box_a.lo[shared] : box_a.hi[shared];
    const Real ay = i == 0 ? box_a.lo[q] : box_a.hi[q];
    for (int32_t k = 0; k < 2; ++k) {
      d.xs[2 * i + k] = (ax - Real(k == 0 ? box_b.lo[shared] : box_b.hi[shared])) / unit;
      d.ys[2 * i + k] = (ay - Real(k == 0 ? box_b.lo[q] : box_b.hi[q])) / unit;
    }
    d.zs[i] = (Real(box_a.lo[p]) - Real(i == 0 ? box_b.lo[p] : box_b.hi[p])) / unit;
  }
  if (a.axis != b.axis) d.ys[1] = d.ys[2];  // b lies in a plane of q: yⱼ − y' is ys[2j]
  canonical_frame(d, a.axis == b.axis);
  return d;
}

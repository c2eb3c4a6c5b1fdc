#pragma once

// Pairs of rectangles for the tests of the Galerkin coefficients: a grid of every relation a mesh
// produces, and the pair moved, turned and mirrored.

#include <cstdint>
#include <vector>

#include "structure/axis_rect.h"

/// The rectangle in the plane `axis` = level spanning [u0, u1] × [v0, v1].
AxisRect rect(int32_t axis, double plane, double u0, double v0, double u1, double v1);

/// |value / reference − 1|.
double relative(long double value, long double reference);

struct Pair {
  AxisRect a;  // first rectangle
  AxisRect b;  // second rectangle
};

/// b of sides u (along x or y) and v (along y or z) placed against a in every relation a mesh
/// produces: beside an edge in a's plane, over a's middle and corner, as the wall of a box
/// along a's edge, standing on a, and at gaps of 10⁻³ to 10⁴ times the larger size in several
/// directions and orientations. a is [0, 1] × [0, w] in the plane z = 0.
std::vector<Pair> grid();

/// The largest coordinate over the shortest side: how far rounding the coordinates can move an
/// integral, relatively.
double coordinate_spread(const Pair& p);

/// Each rectangle of the pair mapped by x ↦ s·x + t, its axes relabelled by `turn` (k ↦ k + turn
/// modulo 3) and, when `mirror`, its coordinate along the new x negated.
Pair moved(const Pair& p, double s, double t, int32_t turn, bool mirror);

/// The differences of the closed forms' sums (four along x, four or two along y, two along z),
/// in [−1, 1), now and then 0 or a repeat of another: the awkward inputs of the kernels.
struct CornerDifferences {
  double xs[4];  // along the axis both span
  double ys[4];  // along the second
  double zs[2];  // along the normal
};
std::vector<CornerDifferences> awkward_differences(uint64_t seed, int32_t count);

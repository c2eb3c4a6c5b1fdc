#pragma once

// The pieces of the long double references: the corner function of a rectangle's potential,
// quadrature rules on [0, 1], and a rectangle as a box.

#include <vector>

#include "structure/axis_rect.h"

using Real = long double;

/// x·ln(y + R) + y·ln(x + R) − |z|·atan(x·y / (|z|·R)) with R = |(x, y, z)|, terms whose factor
/// is zero left out: the potential of a rectangle is its signed sum over the corners.
Real potential_corner(Real x, Real y, Real z);

/// A rule on [0, 1]: points and weights.
struct QuadratureRule {
  std::vector<Real> point;   // in (0, 1), ascending
  std::vector<Real> weight;  // one per point
};

/// Tanh-sinh with step h and |k·h| ≤ 3.6, each point's distance to the nearer end computed
/// directly so that no digits are lost there.
QuadratureRule tanh_sinh(Real h);

/// Gauss–Legendre with n points.
QuadratureRule gauss_rule(int n);

/// Coordinates of r as a box: lower and upper along x, y, z.
void box_of(const AxisRect& r, Real lo[3], Real hi[3]);

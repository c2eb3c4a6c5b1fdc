// The pieces of the long double references.

#include "reference_rules.h"

#include <cmath>

// x·ln(y + R) + y·ln(x + R) − |z|·atan(x·y / (|z|·R)) with R = |(x, y, z)|; the logarithm of
// y + R for y < 0 taken as ln((x² + z²)/(R − y)).
Real potential_corner(Real x, Real y, Real z) {
  const Real r = std::sqrt(x * x + y * y + z * z);
  Real sum = 0;
  if (x != 0) sum += x * (y >= 0 ? std::log(y + r) : std::log((x * x + z * z) / (r - y)));
  if (y != 0) sum += y * (x >= 0 ? std::log(x + r) : std::log((y * y + z * z) / (r - x)));
  if (x != 0 && y != 0 && z != 0) sum -= std::fabs(z) * std::atan(x * y / (std::fabs(z) * r));
  return sum;
}

// Tanh-sinh on [0, 1] with step h and |k·h| ≤ 3.6: x = (1 + tanh(π/2·sinh t))/2, with each
// point's distance to the nearer end computed directly so that no digits are lost there.
QuadratureRule tanh_sinh(Real h) {
  QuadratureRule rule;
  const Real half_pi = 1.570796326794896619231321691639751442L;
  for (int k = -static_cast<int>(3.6L / h); k <= static_cast<int>(3.6L / h); ++k) {
    const Real t = k * h, s = half_pi * std::sinh(std::fabs(t));
    const Real end_distance = 1 / (1 + std::exp(2 * s));  // (1 − tanh s)/2
    const Real c = std::cosh(s);
    rule.point.push_back(t < 0 ? end_distance : 1 - end_distance);
    rule.weight.push_back(h * half_pi * std::cosh(t) / (2 * c * c));
  }
  return rule;
}

// Gauss–Legendre on [0, 1] with n points, by Newton's method on Pₙ.
QuadratureRule gauss_rule(int n) {
  QuadratureRule rule;
  const Real pi = 3.141592653589793238462643383279502884L;
  for (int i = 0; i < n; ++i) {
    Real x = std::cos(pi * (i + 0.75L) / (n + 0.5L)), p0 = 1, p1 = x, slope = 1;
    for (int step = 0; step < 60; ++step) {
      p0 = 1;
      p1 = x;
      for (int k = 2; k <= n; ++k) {
        const Real p2 = ((2 * k - 1) * x * p1 - (k - 1) * p0) / k;
        p0 = p1;
        p1 = p2;
      }
      slope = n * (x * p1 - p0) / (x * x - 1);
      x -= p1 / slope;
    }
    rule.point.push_back((1 + x) / 2);
    rule.weight.push_back(1 / ((1 - x * x) * slope * slope));
  }
  return rule;
}

// Coordinates of r as a box: lower and upper along x, y, z.
void box_of(const AxisRect& r, Real lo[3], Real hi[3]) {
  lo[r.axis] = hi[r.axis] = r.plane;
  lo[(r.axis + 1) % 3] = r.lo[0];
  hi[(r.axis + 1) % 3] = r.hi[0];
  lo[(r.axis + 2) % 3] = r.lo[1];
  hi[(r.axis + 2) % 3] = r.hi[1];
}

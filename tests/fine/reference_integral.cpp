// A reference for the Galerkin integrals: the potential of one rectangle, or its double layer,
// in closed form, integrated numerically over the other.

#include "reference_integral.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include "reference_rules.h"

namespace {

// The cuts of [lo, hi] at the given places strictly inside it.
std::vector<Real> cut(Real lo, Real hi, std::vector<Real> places) {
  std::vector<Real> ends = {lo, hi};
  for (Real p : places) {
    if (p > lo && p < hi) ends.push_back(p);
  }
  std::sort(ends.begin(), ends.end());
  return ends;
}

// ∬_b value(point) dA' numerically: b is cut at the lines where the functions of a taken here
// are not smooth (over the edges of a, and where b crosses a's plane), and each piece gets a
// tanh-sinh rule, which takes the logarithmic singularities at its edges; a b far from a gets a
// plain Gauss–Legendre rule.
template <typename Value>
Real integral_over(const AxisRect& a, const AxisRect& b, Value value) {
  static const QuadratureRule near_rule = tanh_sinh(0.125L);
  static const QuadratureRule far_rule = gauss_rule(24);
  Real a_lo[3], a_hi[3], b_lo[3], b_hi[3];
  box_of(a, a_lo, a_hi);
  box_of(b, b_lo, b_hi);
  Real gap = 0, size = 0;
  for (int k = 0; k < 3; ++k) {
    const Real d = std::max({a_lo[k] - b_hi[k], b_lo[k] - a_hi[k], Real(0)});
    gap += d * d;
    size = std::max(size, b_hi[k] - b_lo[k]);
  }
  const bool far = std::sqrt(gap) >= 2 * size;
  const int u = (b.axis + 1) % 3, v = (b.axis + 2) % 3;
  std::vector<Real> us = {b_lo[u], b_hi[u]}, vs = {b_lo[v], b_hi[v]};
  if (!far) {
    us = cut(b_lo[u], b_hi[u], {a_lo[u], a_hi[u]});
    vs = cut(b_lo[v], b_hi[v], {a_lo[v], a_hi[v]});
  }
  const QuadratureRule& rule = far ? far_rule : near_rule;
  Real sum = 0;
  for (size_t i = 0; i + 1 < us.size(); ++i) {
    for (size_t j = 0; j + 1 < vs.size(); ++j) {
      const Real du = us[i + 1] - us[i], dv = vs[j + 1] - vs[j];
      Real piece = 0;
      for (size_t p = 0; p < rule.point.size(); ++p) {
        Real row = 0;
        for (size_t q = 0; q < rule.point.size(); ++q) {
          Real point[3];
          point[b.axis] = b.plane;
          point[u] = us[i] + du * rule.point[p];
          point[v] = vs[j] + dv * rule.point[q];
          row += rule.weight[q] * value(point);
        }
        piece += rule.weight[p] * row;
      }
      sum += piece * du * dv;
    }
  }
  return sum;
}

}  // namespace

long double reference_potential(const AxisRect& r, const long double point[3]) {
  const int u = (r.axis + 1) % 3, v = (r.axis + 2) % 3;
  const Real x0 = point[u] - r.lo[0], x1 = point[u] - r.hi[0];
  const Real y0 = point[v] - r.lo[1], y1 = point[v] - r.hi[1];
  const Real z = point[r.axis] - r.plane;
  return potential_corner(x0, y0, z) - potential_corner(x0, y1, z) - potential_corner(x1, y0, z) +
         potential_corner(x1, y1, z);
}

long double reference_integral(const AxisRect& a, const AxisRect& b) {
  return integral_over(a, b, [&a](const Real point[3]) { return reference_potential(a, point); });
}

long double gauss_integral(const AxisRect& a, const AxisRect& b, int points) {
  const QuadratureRule rule = gauss_rule(points);
  Real a_lo[3], a_hi[3], b_lo[3], b_hi[3];
  box_of(a, a_lo, a_hi);
  box_of(b, b_lo, b_hi);
  // The points of each rectangle, with their weights times its area.
  auto nodes = [&](const Real lo[3], const Real hi[3], int axis, std::vector<Real>& point,
                   std::vector<Real>& weight) {
    const int u = (axis + 1) % 3, v = (axis + 2) % 3;
    for (size_t p = 0; p < rule.point.size(); ++p) {
      for (size_t q = 0; q < rule.point.size(); ++q) {
        Real x[3];
        x[axis] = lo[axis];
        x[u] = lo[u] + (hi[u] - lo[u]) * rule.point[p];
        x[v] = lo[v] + (hi[v] - lo[v]) * rule.point[q];
        point.insert(point.end(), x, x + 3);
        weight.push_back(rule.weight[p] * rule.weight[q] * (hi[u] - lo[u]) * (hi[v] - lo[v]));
      }
    }
  };
  std::vector<Real> pa, wa, pb, wb;
  nodes(a_lo, a_hi, a.axis, pa, wa);
  nodes(b_lo, b_hi, b.axis, pb, wb);
  Real sum = 0;
  for (size_t i = 0; i < wa.size(); ++i) {
    Real row = 0;
    for (size_t j = 0; j < wb.size(); ++j) {
      const Real dx = pa[3 * i] - pb[3 * j], dy = pa[3 * i + 1] - pb[3 * j + 1],
                 dz = pa[3 * i + 2] - pb[3 * j + 2];
      row += wb[j] / std::sqrt(dx * dx + dy * dy + dz * dz);
    }
    sum += wa[i] * row;
  }
  return sum;
}

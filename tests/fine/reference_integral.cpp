// A reference for the Galerkin integrals: the potential of one rectangle, in closed form,
// integrated numerically over the other.

#include "reference_integral.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace {

using Real = long double;

// x·ln(y + R) + y·ln(x + R) − |z|·atan(x·y / (|z|·R)) with R = |(x, y, z)|; the logarithm of
// y + R for y < 0 taken as ln((x² + z²)/(R − y)).
Real corner(Real x, Real y, Real z) {
  const Real r = std::sqrt(x * x + y * y + z * z);
  Real sum = 0;
  if (x != 0) sum += x * (y >= 0 ? std::log(y + r) : std::log((x * x + z * z) / (r - y)));
  if (y != 0) sum += y * (x >= 0 ? std::log(x + r) : std::log((y * y + z * z) / (r - x)));
  if (x != 0 && y != 0 && z != 0) sum -= std::fabs(z) * std::atan(x * y / (std::fabs(z) * r));
  return sum;
}

// A rule on [0, 1]: points and weights.
struct Rule {
  std::vector<Real> point;
  std::vector<Real> weight;
};

// Tanh-sinh on [0, 1] with step h and |k·h| ≤ 3.6: x = (1 + tanh(π/2·sinh t))/2, with each
// point's distance to the nearer end computed directly so that no digits are lost there.
Rule tanh_sinh(Real h) {
  Rule rule;
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
Rule gauss(int n) {
  Rule rule;
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
void box(const AxisRect& r, Real lo[3], Real hi[3]) {
  lo[r.axis] = hi[r.axis] = r.plane;
  lo[(r.axis + 1) % 3] = r.lo[0];
  hi[(r.axis + 1) % 3] = r.hi[0];
  lo[(r.axis + 2) % 3] = r.lo[1];
  hi[(r.axis + 2) % 3] = r.hi[1];
}

// The cuts of [lo, hi] at the given places strictly inside it.
std::vector<Real> cut(Real lo, Real hi, std::vector<Real> places) {
  std::vector<Real> ends = {lo, hi};
  for (Real p : places) {
    if (p > lo && p < hi) ends.push_back(p);
  }
  std::sort(ends.begin(), ends.end());
  return ends;
}

}  // namespace

long double reference_potential(const AxisRect& r, const long double point[3]) {
  const int u = (r.axis + 1) % 3, v = (r.axis + 2) % 3;
  const Real x0 = point[u] - r.lo[0], x1 = point[u] - r.hi[0];
  const Real y0 = point[v] - r.lo[1], y1 = point[v] - r.hi[1];
  const Real z = point[r.axis] - r.plane;
  return corner(x0, y0, z) - corner(x0, y1, z) - corner(x1, y0, z) + corner(x1, y1, z);
}

long double reference_integral(const AxisRect& a, const AxisRect& b) {
  static const Rule near_rule = tanh_sinh(0.125L);
  static const Rule far_rule = gauss(24);
  Real a_lo[3], a_hi[3], b_lo[3], b_hi[3];
  box(a, a_lo, a_hi);
  box(b, b_lo, b_hi);
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
  const Rule& rule = far ? far_rule : near_rule;
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
          row += rule.weight[q] * reference_potential(a, point);
        }
        piece += rule.weight[p] * row;
      }
      sum += piece * du * dv;
    }
  }
  return sum;
}

long double gauss_integral(const AxisRect& a, const AxisRect& b, int points) {
  const Rule rule = gauss(points);
  Real a_lo[3], a_hi[3], b_lo[3], b_hi[3];
  box(a, a_lo, a_hi);
  box(b, b_lo, b_hi);
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

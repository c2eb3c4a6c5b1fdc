// A reference for the Galerkin integrals: the potential of one rectangle, or its double layer,
// in closed form, integrated numerically over the other.

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
  lo[r.axis] = hi[r.axis] = r.level;
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

// ∬_b value(point) dA' numerically: b is cut at the lines where the functions of a taken here
// are not smooth (over the edges of a, and where b crosses a's plane), and each piece gets a
// tanh-sinh rule, which takes the logarithmic singularities at its edges; a b far from a gets a
// plain Gauss–Legendre rule.
template <typename Value>
Real integral_over(const AxisRect& a, const AxisRect& b, Value value) {
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
          point[b.axis] = b.level;
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
  const Real z = point[r.axis] - r.level;
  return corner(x0, y0, z) - corner(x0, y1, z) - corner(x1, y0, z) + corner(x1, y1, z);
}

long double reference_double_layer(const AxisRect& r, const long double point[3]) {
  const int u = (r.axis + 1) % 3, v = (r.axis + 2) % 3;
  const Real z = point[r.axis] - r.level;
  if (z == 0) return 0;
  Real sum = 0;
  for (int i = 0; i < 2; ++i) {
    for (int j = 0; j < 2; ++j) {
      const Real x = point[u] - (i == 0 ? r.lo[0] : r.hi[0]);
      const Real y = point[v] - (j == 0 ? r.lo[1] : r.hi[1]);
      const Real angle = std::atan(x * y / (z * std::sqrt(x * x + y * y + z * z)));
      sum += (i + j) % 2 == 0 ? angle : -angle;
    }
  }
  return sum;
}

long double reference_integral(const AxisRect& a, const AxisRect& b) {
  return integral_over(a, b, [&a](const Real point[3]) { return reference_potential(a, point); });
}

namespace {

// ∫ atan(X·Y/(Z·R)) dX = X·atan(X·Y/(Z·R)) + Z·asinh(Y/√(X² + Z²)), for Z ≠ 0.
Real angle_along_x(Real x, Real y, Real z) {
  const Real r = std::sqrt(x * x + y * y + z * z);
  return (x != 0 && y != 0 ? x * std::atan(x * y / (z * r)) : 0) +
         z * std::asinh(y / std::sqrt(x * x + z * z));
}

// The double layer of r at the points p + (c − p_along)·e_along, c from lo to hi, integrated
// over c in closed form: along r's normal ∫ atan(X·Y/(Z·R)) dZ = −f(X, Y, Z) (corner above,
// whose derivative differs from −atan(X·Y/(Z·R)) by parts the sum over the corners cancels);
// along r's first or second axis by angle_along_x (p off r's plane).
Real double_layer_along(const AxisRect& r, const Real point[3], int along, Real lo, Real hi) {
  const int u = (r.axis + 1) % 3, v = (r.axis + 2) % 3;
  Real sum = 0;
  for (int i = 0; i < 2; ++i) {
    for (int j = 0; j < 2; ++j) {
      const Real sign = (i + j) % 2 == 0 ? 1 : -1;
      const Real x = point[u] - (i == 0 ? r.lo[0] : r.hi[0]);
      const Real y = point[v] - (j == 0 ? r.lo[1] : r.hi[1]);
      const Real z = point[r.axis] - r.level;
      if (along == r.axis) {
        sum += sign * (corner(x, y, lo - r.level) - corner(x, y, hi - r.level));
      } else if (along == u) {
        const Real x_hi = hi - (i == 0 ? r.lo[0] : r.hi[0]);
        const Real x_lo = lo - (i == 0 ? r.lo[0] : r.hi[0]);
        sum += sign * (angle_along_x(x_hi, y, z) - angle_along_x(x_lo, y, z));
      } else {
        const Real y_hi = hi - (j == 0 ? r.lo[1] : r.hi[1]);
        const Real y_lo = lo - (j == 0 ? r.lo[1] : r.hi[1]);
        sum += sign * (angle_along_x(y_hi, x, z) - angle_along_x(y_lo, x, z));
      }
    }
  }
  return sum;
}

// The places where a tanh-sinh rule on each piece between them takes ∫ over [lo, hi] of a
// function that is singular, or nearly so, at the places `cuts`: the ends, the cuts within, and
// around each cut (within or just beyond the ends) places graded by factors of 8 down to 8⁻¹⁴ of
// the length, so that each piece is about as long as its distance from the singularity.
std::vector<Real> graded_ends(Real lo, Real hi, const std::vector<Real>& cuts) {
  std::vector<Real> ends = {lo, hi};
  for (Real c : cuts) {
    if (c > lo && c < hi) ends.push_back(c);
    Real step = hi - lo;
    for (int k = 0; k < 14; ++k) {
      step /= 8;
      for (Real place : {c - step, c + step}) {
        if (place > lo && place < hi) ends.push_back(place);
      }
    }
  }
  std::sort(ends.begin(), ends.end());
  ends.erase(std::unique(ends.begin(), ends.end()), ends.end());
  return ends;
}

// The largest extent of r.
Real size_of(const AxisRect& r) { return std::max<Real>(r.hi[0] - r.lo[0], r.hi[1] - r.lo[1]); }

// The point of r at the fractions (p, q) of its first and second side.
void point_of(const AxisRect& r, Real p, Real q, Real point[3]) {
  point[r.axis] = r.level;
  point[(r.axis + 1) % 3] = r.lo[0] + (r.hi[0] - r.lo[0]) * p;
  point[(r.axis + 2) % 3] = r.lo[1] + (r.hi[1] - r.lo[1]) * q;
}

// Σ over the points of the product rule on r of value(point), times r's area.
template <typename Value>
Real gauss_over(const AxisRect& r, const Rule& rule, Value value) {
  Real sum = 0;
  for (size_t i = 0; i < rule.point.size(); ++i) {
    for (size_t j = 0; j < rule.point.size(); ++j) {
      Real point[3];
      point_of(r, rule.point[i], rule.point[j], point);
      sum += rule.weight[i] * rule.weight[j] * value(point);
    }
  }
  return sum * (r.hi[0] - r.lo[0]) * (r.hi[1] - r.lo[1]);
}

// ∬_t ∬_s n_t · ∇_x (1/|x − x'|) by product Gauss–Legendre rules on both, for a pair apart by
// twice the larger's size or more: the kernel is analytic within the Bernstein ellipse ρ ≥ 8 of
// each side, so 8 points err by about 8⁻¹⁶ ≈ 4·10⁻¹⁵.
Real direct_normal_field(const AxisRect& t, const AxisRect& s) {
  static const Rule rule = gauss(8);
  return gauss_over(t, rule, [&t, &s](const Real x[3]) {
    return gauss_over(s, rule, [&t, x](const Real y[3]) {
      const Real d[3] = {x[0] - y[0], x[1] - y[1], x[2] - y[2]};
      const Real r2 = d[0] * d[0] + d[1] * d[1] + d[2] * d[2];
      return -d[t.axis] / (r2 * std::sqrt(r2));
    });
  });
}

// ∂φ_r/∂p_along at p for `along` one of r's in-plane axes: Σ ± ln(Y + R) over the corners, Y
// the offset along r's other in-plane axis (∂f/∂X = ln(Y + R) + X²/(X² + Z²), whose second part
// the sum over the corners cancels).
Real in_plane_field(const AxisRect& r, int along, const Real point[3]) {
  const int u = (r.axis + 1) % 3, k = along == u ? 1 : 0;  // k: the index of the other axis
  const int across = (r.axis + 1 + k) % 3;
  const Real z = point[r.axis] - r.level;
  Real sum = 0;
  for (int i = 0; i < 2; ++i) {
    for (int j = 0; j < 2; ++j) {
      const Real x = point[along] - (i == 0 ? r.lo[1 - k] : r.hi[1 - k]);
      const Real y = point[across] - (j == 0 ? r.lo[k] : r.hi[k]);
      const Real rho2 = x * x + z * z, big_r = std::sqrt(rho2 + y * y);
      const Real log = std::log(y >= 0 ? y + big_r : rho2 / (big_r - y));
      sum += (i + j) % 2 == 0 ? log : -log;
    }
  }
  return sum;
}

// ∬_t n_t · ∇φ_s dA by a product Gauss–Legendre rule on t, for a t small against its distance
// from s: the field of s is smooth over t, and unlike the double layer of a small t far from the
// points of s, it does not cancel.
Real field_over_target(const AxisRect& t, const AxisRect& s) {
  static const Rule rule = gauss(16);
  return gauss_over(t, rule, [&t, &s](const Real x[3]) {
    return t.axis == s.axis ? -reference_double_layer(s, x) : in_plane_field(s, t.axis, x);
  });
}

}  // namespace

long double reference_normal_field(const AxisRect& target, const AxisRect& source) {
  if (target.axis == source.axis && target.level == source.level) return 0;
  Real t_lo[3], t_hi[3], s_lo[3], s_hi[3], gap = 0;
  box(target, t_lo, t_hi);
  box(source, s_lo, s_hi);
  for (int k = 0; k < 3; ++k) {
    const Real d = std::max({t_lo[k] - s_hi[k], s_lo[k] - t_hi[k], Real(0)});
    gap += d * d;
  }
  if (std::sqrt(gap) >= 2 * std::max(size_of(target), size_of(source))) {
    return direct_normal_field(target, source);
  }
  if (std::sqrt(gap) >= 2 * size_of(target)) return field_over_target(target, source);
  // Along one axis of the source in closed form (its first for a parallel one, the target's
  // normal for a perpendicular one), along the other (the sweep) numerically.
  const int along = target.axis == source.axis ? (source.axis + 1) % 3 : target.axis;
  const int sweep = 3 - source.axis - along;
  static const Rule rule = tanh_sinh(0.125L);
  const std::vector<Real> ends = graded_ends(s_lo[sweep], s_hi[sweep], {t_lo[sweep], t_hi[sweep]});
  Real sum = 0;
  for (size_t e = 0; e + 1 < ends.size(); ++e) {
    const Real length = ends[e + 1] - ends[e];
    Real piece = 0;
    for (size_t p = 0; p < rule.point.size(); ++p) {
      Real point[3];
      point[source.axis] = source.level;
      point[along] = s_lo[along];
      point[sweep] = rule.point[p] < 0.5L ? ends[e] + length * rule.point[p]
                                          : ends[e + 1] - length * (1 - rule.point[p]);
      piece += rule.weight[p] * double_layer_along(target, point, along, s_lo[along], s_hi[along]);
    }
    sum += piece * length;
  }
  return sum;
}

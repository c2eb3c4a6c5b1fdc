// A reference for the normal-field integrals: the double layer of the target in closed form,
// integrated over the source along one axis in closed form and along the other numerically; and
// product rules where the pair is far apart or the target small.

#include <algorithm>
#include <cmath>
#include <vector>

#include "reference_integral.h"
#include "reference_rules.h"

long double reference_double_layer(const AxisRect& r, const long double point[3]) {
  const int u = (r.axis + 1) % 3, v = (r.axis + 2) % 3;
  const Real z = point[r.axis] - r.plane;
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

namespace {

// ∫ atan(X·Y/(Z·R)) dX = X·atan(X·Y/(Z·R)) + Z·asinh(Y/√(X² + Z²)), for Z ≠ 0.
Real angle_along_x(Real x, Real y, Real z) {
  const Real r = std::sqrt(x * x + y * y + z * z);
  return (x != 0 && y != 0 ? x * std::atan(x * y / (z * r)) : 0) +
         z * std::asinh(y / std::sqrt(x * x + z * z));
}

// The double layer of r at the points p + (c − p_along)·e_along, c from lo to hi, integrated
// over c in closed form: along r's normal ∫ atan(X·Y/(Z·R)) dZ = −f(X, Y, Z) (potential_corner,
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
      const Real z = point[r.axis] - r.plane;
      if (along == r.axis) {
        sum += sign * (potential_corner(x, y, lo - r.plane) - potential_corner(x, y, hi - r.plane));
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
  point[r.axis] = r.plane;
  point[(r.axis + 1) % 3] = r.lo[0] + (r.hi[0] - r.lo[0]) * p;
  point[(r.axis + 2) % 3] = r.lo[1] + (r.hi[1] - r.lo[1]) * q;
}

// Σ over the points of the product rule on r of value(point), times r's area.
template <typename Value>
Real gauss_over(const AxisRect& r, const QuadratureRule& rule, Value value) {
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
  static const QuadratureRule rule = gauss_rule(8);
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
  const Real z = point[r.axis] - r.plane;
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
  static const QuadratureRule rule = gauss_rule(16);
  return gauss_over(t, rule, [&t, &s](const Real x[3]) {
    return t.axis == s.axis ? -reference_double_layer(s, x) : in_plane_field(s, t.axis, x);
  });
}

}  // namespace

long double reference_normal_field(const AxisRect& target, const AxisRect& source) {
  if (target.axis == source.axis && target.plane == source.plane) return 0;
  Real t_lo[3], t_hi[3], s_lo[3], s_hi[3], gap = 0;
  box_of(target, t_lo, t_hi);
  box_of(source, s_lo, s_hi);
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
  static const QuadratureRule rule = tanh_sinh(0.125L);
  const std::vector<Real> ends = graded_ends(s_lo[sweep], s_hi[sweep], {t_lo[sweep], t_hi[sweep]});
  Real sum = 0;
  for (size_t e = 0; e + 1 < ends.size(); ++e) {
    const Real length = ends[e + 1] - ends[e];
    Real piece = 0;
    for (size_t p = 0; p < rule.point.size(); ++p) {
      Real point[3];
      point[source.axis] = source.plane;
      point[along] = s_lo[along];
      point[sweep] = rule.point[p] < 0.5L ? ends[e] + length * rule.point[p]
                                          : ends[e + 1] - length * (1 - rule.point[p]);
      piece += rule.weight[p] * double_layer_along(target, point, along, s_lo[along], s_hi[along]);
    }
    sum += piece * length;
  }
  return sum;
}

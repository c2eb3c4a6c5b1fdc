// The potential of a uniformly charged rectangle, Σ ± f over its corners, and its integral over
// a second rectangle by Gauss–Legendre.

#include "fine/rectangle_potential.h"

#include <cmath>

#include "fine/gauss_legendre.h"
#include "fine/space_box.h"

namespace {

// ln(t + R), R = √(t² + ρ²), without the cancellation of t + R for t < 0.
double log_of_sum(double t, double r, double rho2) {
  return t >= 0 ? std::log(t + r) : std::log(rho2 / (r - t));
}

// f(X, Y, Z) = X·ln(Y + R) + Y·ln(X + R) − |Z|·atan(X·Y / (|Z|·R)), zero factors left out.
double corner_term(double x, double y, double z) {
  const double x2 = x * x, y2 = y * y, z2 = z * z;
  const double r = std::sqrt(x2 + y2 + z2);
  double sum = 0;
  if (x != 0) sum += x * log_of_sum(y, r, x2 + z2);
  if (y != 0) sum += y * log_of_sum(x, r, y2 + z2);
  if (z != 0 && x != 0 && y != 0) {
    const double az = std::fabs(z);
    sum -= az * std::atan(x * y / (az * r));
  }
  return sum;
}

// Σ (−1)^(i+j) f(x − xᵢ, y − yⱼ, z) from the point's offsets to the rectangle's edges.
double potential_from_offsets(double x_lo, double x_hi, double y_lo, double y_hi, double z) {
  return corner_term(x_lo, y_lo, z) - corner_term(x_lo, y_hi, z) - corner_term(x_hi, y_lo, z) +
         corner_term(x_hi, y_hi, z);
}

}  // namespace

double rectangle_potential(const AxisRect& r, const double point[3]) {
  const int32_t u = (r.axis + 1) % 3, v = (r.axis + 2) % 3;
  const double x_lo = point[u] - r.lo[0], x_hi = point[u] - r.hi[0];
  const double y_lo = point[v] - r.lo[1], y_hi = point[v] - r.hi[1];
  const double z = point[r.axis] - r.level;
  // In units of a power of two near the farthest corner, so that no logarithm carries the unit.
  const double reach =
      std::sqrt(std::fmax(x_lo * x_lo, x_hi * x_hi) + std::fmax(y_lo * y_lo, y_hi * y_hi) + z * z);
  const double scale = power_of_two_above(reach);
  return scale *
         potential_from_offsets(x_lo / scale, x_hi / scale, y_lo / scale, y_hi / scale, z / scale);
}

double integrated_potential(const AxisRect& a, const AxisRect& hole, bool has_hole,
                            const AxisRect& b, int32_t nodes_u, int32_t nodes_v) {
  const SpaceBox box_a = space_box(a), box_b = space_box(b);
  const double scale = power_of_two_above(box_reach(box_a, box_b));
  const int32_t au = (a.axis + 1) % 3, av = (a.axis + 2) % 3;
  const int32_t bu = (b.axis + 1) % 3, bv = (b.axis + 2) % 3;
  const GaussRule rule_u = gauss_legendre(nodes_u), rule_v = gauss_legendre(nodes_v);
  const double half_u = (b.hi[0] - b.lo[0]) / 2, half_v = (b.hi[1] - b.lo[1]) / 2;
  const double mid_u = b.lo[0] + half_u, mid_v = b.lo[1] + half_v;
  double sum = 0;
  for (int32_t i = 0; i < nodes_u; ++i) {
    double row = 0;
    for (int32_t j = 0; j < nodes_v; ++j) {
      double p[3];
      p[b.axis] = b.level;
      p[bu] = mid_u + half_u * rule_u.node[i];
      p[bv] = mid_v + half_v * rule_v.node[j];
      const double z = (p[a.axis] - a.level) / scale;
      const double x_lo = (p[au] - a.lo[0]) / scale, x_hi = (p[au] - a.hi[0]) / scale;
      const double y_lo = (p[av] - a.lo[1]) / scale, y_hi = (p[av] - a.hi[1]) / scale;
      double phi = potential_from_offsets(x_lo, x_hi, y_lo, y_hi, z);
      if (has_hole) {
        phi -=
            potential_from_offsets((p[au] - hole.lo[0]) / scale, (p[au] - hole.hi[0]) / scale,
                                   (p[av] - hole.lo[1]) / scale, (p[av] - hole.hi[1]) / scale, z);
      }
      row += rule_v.weight[j] * phi;
    }
    sum += rule_u.weight[i] * row;
  }
  return sum * scale * half_u * half_v;
}

// The potential of a uniformly charged rectangle, Σ ± f over its corners, and its integral over
// a second rectangle by Gauss–Legendre.

#include "fine/coefficients/rectangle_potential.h"

#include <cmath>

#include "fine/coefficients/closed_form_kernels.h"
#include "fine/coefficients/gauss_legendre.h"
#include "structure/space_box.h"

namespace {

// Σ (−1)^(i+j) f(x − xᵢ, y − yⱼ, z) from the point's offsets to the rectangle's edges, f as in
// closed_form_kernels.h.
double potential_from_offsets(double x_lo, double x_hi, double y_lo, double y_hi, double z) {
  const double xs[2] = {x_lo, x_hi}, ys[2] = {y_lo, y_hi};
  return closed_form_kernels().potential_sum(xs, ys, z);
}

}  // namespace

double integrated_potential(const AxisRect& a, const AxisRect& hole, bool has_hole,
                            const AxisRect& b, int32_t nodes_u, int32_t nodes_v) {
  // In units of the pair's reach, so that no logarithm carries the unit of length and the same
  // rectangles in another unit make the same sums.
  const double scale = box_reach(space_box(a), space_box(b));
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
      p[b.axis] = b.plane;
      p[bu] = mid_u + half_u * rule_u.node[i];
      p[bv] = mid_v + half_v * rule_v.node[j];
      const double z = (p[a.axis] - a.plane) / scale;
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

// The potential of a uniformly charged rectangle, Σ ± f over its corners, and its integral over
// a second rectangle by Gauss–Legendre; the same for its derivatives.

#include "fine/coefficients/rectangle_potential.h"

#include <cmath>

#include "fine/coefficients/closed_form_kernels.h"
#include "fine/coefficients/gauss_legendre.h"
#include "fine/coefficients/normal_field_kernels.h"
#include "structure/space_box.h"

namespace {

// Rectangles in one plane whose potentials, each times its sign, add up to the one integrated.
struct Parts {
  AxisRect rect[4];  // the rectangles, in one plane
  double sign[4];    // +1 or −1
  int32_t count;     // how many
};

// Σ over the Gauss–Legendre points of b of their weights times the parts' signed values
// value(xs, ys, z), where xs, ys and z are the point's offsets from a part's edges along its
// first and second axis and from its plane, in units of `scale`, the pair's reach: so that no
// logarithm carries the unit of length and the same rectangles in another unit make the same
// sums.
template <typename Value>
double weighted_sum(const Parts& parts, const AxisRect& b, int32_t nodes_u, int32_t nodes_v,
                    double scale, Value value) {
  const AxisRect& a = parts.rect[0];
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
      double phi = 0;
      for (int32_t k = 0; k < parts.count; ++k) {
        const AxisRect& r = parts.rect[k];
        const double xs[2] = {(p[au] - r.lo[0]) / scale, (p[au] - r.hi[0]) / scale};
        const double ys[2] = {(p[av] - r.lo[1]) / scale, (p[av] - r.hi[1]) / scale};
        phi = k == 0 ? value(xs, ys, z) : phi + parts.sign[k] * value(xs, ys, z);
      }
      row += rule_v.weight[j] * phi;
    }
    sum += rule_u.weight[i] * row;
  }
  return sum;
}

// a less `hole` as up to four rectangles beside the hole, each at the hole's distance from b:
// their fields are smooth on b, where a's and the hole's are each singular along the edges they
// share (and the difference of the two, taken as such, is not defined where a point of b lies
// on such an edge).
Parts frame_around(const AxisRect& a, const AxisRect& hole) {
  Parts parts;
  parts.count = 0;
  auto add = [&parts, &a](double u0, double v0, double u1, double v1) {
    if (!(u0 < u1 && v0 < v1)) return;
    AxisRect& r = parts.rect[parts.count];
    r = a;
    r.lo[0] = u0;
    r.lo[1] = v0;
    r.hi[0] = u1;
    r.hi[1] = v1;
    parts.sign[parts.count++] = 1;
  };
  add(a.lo[0], a.lo[1], hole.lo[0], a.hi[1]);
  add(hole.hi[0], a.lo[1], a.hi[0], a.hi[1]);
  add(hole.lo[0], a.lo[1], hole.hi[0], hole.lo[1]);
  add(hole.lo[0], hole.hi[1], hole.hi[0], a.hi[1]);
  return parts;
}

}  // namespace

double integrated_potential(const AxisRect& a, const AxisRect& hole, bool has_hole,
                            const AxisRect& b, int32_t nodes_u, int32_t nodes_v) {
  const double scale = box_reach(space_box(a), space_box(b));
  const ClosedFormKernels& kernels = closed_form_kernels();
  const Parts parts = {{a, hole}, {1, -1}, has_hole ? 2 : 1};
  const double sum = weighted_sum(parts, b, nodes_u, nodes_v, scale,
                                  [&kernels](const double xs[2], const double ys[2], double z) {
                                    return kernels.potential_sum(xs, ys, z);
                                  });
  return sum * scale * ((b.hi[0] - b.lo[0]) / 2) * ((b.hi[1] - b.lo[1]) / 2);
}

double integrated_field(const AxisRect& a, const AxisRect& hole, bool has_hole, const AxisRect& b,
                        int32_t axis, int32_t nodes_u, int32_t nodes_v) {
  const double scale = box_reach(space_box(a), space_box(b));
  const NormalFieldKernels& kernels = normal_field_kernels();
  const int32_t along = (axis - a.axis + 3) % 3;  // 0: a's normal, 1 and 2: its in-plane axes
  const Parts parts = has_hole ? frame_around(a, hole) : Parts{{a}, {1}, 1};
  const double sum =
      weighted_sum(parts, b, nodes_u, nodes_v, scale,
                   [&kernels, along](const double xs[2], const double ys[2], double z) {
                     if (along == 0) return -kernels.solid_angle_sum(xs, ys, z);
                     return along == 1 ? kernels.log_sum(xs, ys, z) : kernels.log_sum(ys, xs, z);
                   });
  return sum * ((b.hi[0] - b.lo[0]) / 2) * ((b.hi[1] - b.lo[1]) / 2);
}

// K(t, s) by the cheapest of the means that are accurate for the pair (pair_means.h): the far
// expansion, the closed forms in double and long double, Gauss–Legendre points on the smaller
// rectangle in the field of the larger, or a split of the larger. For parallel rectangles the
// pair is taken in its canonical order and K(s, t) = −K(t, s) (I depends on the levels only
// through their difference), so that the two orders give the same bits but the sign.

#include "fine/coefficients/normal_field_integral.h"

#include <cmath>

#include "fine/coefficients/normal_closed_form.h"
#include "fine/coefficients/normal_expansion.h"
#include "fine/coefficients/pair_means.h"
#include "fine/coefficients/rectangle_potential.h"

namespace {

// The closed form in double is kept when its rounding estimate (4 units in the last place of
// the magnitudes of its terms' parts) is below this, in units of normal_field_scale. It is
// tried at any loss bound R⁴/(A·A'): with its reduced sums it passes far beyond 10⁸ (pairs of
// thin strips), where the alternatives are a long double sum beyond its own trust or none.
constexpr double kClosedFormRounding = 4e-12;
// (R / size of a)² up to which the field of a is trusted at Gauss–Legendre points: it loses about
// so many units in the last place of its value there (a few 10⁻¹⁰ of the scale), and elongated
// pairs too far apart for the closed forms and too near for the expansion have no better means.
constexpr double kPointLoss = 1e6;

// The means of K, with the target the pair's a or its b.
struct NormalFieldMeans {
  bool target_is_a;                    // a, the first of the canonical order, is the target
  MeansCosts costs;                    // as measured against the parallel closed form
  double closed_form_loss = INFINITY;  // the closed form in double is always worth a try
  double point_loss = kPointLoss;      // up to which Gauss–Legendre points may take the pair
  double allowance = 0;  // the absolute error the caller accepts beside the scaled bounds
  bool try_far = true;   // false where the caller found that no far expansion can take the pair

  bool far(const AxisRect& a, const AxisRect& b, FarOrderBound bound, double& integral) const {
    if (!try_far) return false;
    double tolerance = kFarTolerance;
    if (allowance > 0) {
      // The expansion's bound is relative to A·A'/|D|², D between the centres.
      const SpaceBox box_a = space_box(a), box_b = space_box(b);
      if (beyond_any_expansion(box_a, box_b)) return false;
      double squared = 0;
      for (int32_t d = 0; d < 3; ++d) {
        const double centres = (box_a.lo[d] + box_a.hi[d] - box_b.lo[d] - box_b.hi[d]) / 2;
        squared += centres * centres;
      }
      const double yardstick = rectangle_area(a) * rectangle_area(b) / squared;
      tolerance = std::fmax(kFarTolerance, std::fmin(kLoosestFarTolerance, allowance / yardstick));
    }
    return target_is_a ? normal_expansion_within(a, b, tolerance, bound, integral)
                       : normal_expansion_within(b, a, tolerance, bound, integral);
  }
  bool closed(const AxisRect& a, const AxisRect& b, double& integral) const {
    double rounding = 0;
    const double value =
        target_is_a ? normal_closed_form(a, b, rounding) : normal_closed_form(b, a, rounding);
    const double error = 4 * rounding * 0x1p-53;
    if (!(error <= kClosedFormRounding * normal_field_scale(a, b) ||
          (allowance > 0 && error <= allowance))) {
      return false;
    }
    integral = value;
    return true;
  }
  double extended(const AxisRect& a, const AxisRect& b) const {
    return target_is_a ? extended_normal_closed_form(a, b) : extended_normal_closed_form(b, a);
  }
  // On the target the field of the source along n_t; on the source the double layer of the
  // target, ∬_t n_t · ∇_x (1/|x − x'|) dA = −n_t · ∇_x' φ_t(x').
  double quadrature(const AxisRect& field, const AxisRect& hole, bool has_hole,
                    const AxisRect& points, int32_t nodes_u, int32_t nodes_v,
                    bool points_on_b) const {
    if (points_on_b != target_is_a) {
      return integrated_field(field, hole, has_hole, points, points.axis, nodes_u, nodes_v);
    }
    return -integrated_field(field, hole, has_hole, points, field.axis, nodes_u, nodes_v);
  }
};

}  // namespace

double normal_field_scale(const AxisRect& target, const AxisRect& source) {
  const double gap = box_gap(space_box(target), space_box(source));
  const double area_t = rectangle_area(target), area_s = rectangle_area(source);
  return std::fmin(2 * M_PI * std::fmin(area_t, area_s), area_t * area_s / (gap * gap));
}

double normal_field_integral(const AxisRect& target, const AxisRect& source) {
  return normal_field_integral_within(target, source, 0);
}

double normal_field_integral_within(const AxisRect& target, const AxisRect& source,
                                    double allowance, bool try_far) {
  const bool parallel = target.axis == source.axis;
  if (parallel && target.plane == source.plane) return 0;
  const PairOrder order = canonical_order(target, source);
  NormalFieldMeans means;
  means.allowance = allowance > 0 ? allowance : 0;
  means.try_far = try_far;
  means.target_is_a = parallel || !order.swapped;
  means.costs = {0.3, 1.4, 13, 14};
  const double value = by_cheapest_means(order, means);
  return parallel && order.swapped ? -value : value;
}

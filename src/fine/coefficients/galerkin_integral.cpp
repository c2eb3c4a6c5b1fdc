// I(a, b) by the cheapest of the means that are accurate for the pair (pair_means.h): the far
// expansion, the closed forms in double and long double, Gauss–Legendre points on the smaller
// rectangle in the potential of the larger, or a split of the larger.

#include "fine/coefficients/galerkin_integral.h"

#include <cmath>

#include "fine/coefficients/closed_form.h"
#include "fine/coefficients/pair_expansion.h"
#include "fine/coefficients/pair_means.h"
#include "fine/coefficients/rectangle_potential.h"

namespace {

// The closed form in double is kept when its rounding estimate (the magnitudes of its terms'
// parts over |I|, times 4 units in the last place, at least 2.3 times the error met in sweeps
// of every kind of pair) is below this: its error is then below 1.8e-12, and in sweeps mostly
// near 1e-13 (the estimate is some 50 times the error). A tighter limit sends more pairs to
// the slower means: at 4e-13 vornax-fine's near coefficients of the 8 × 8 bus take half again
// as long. The estimate is tried up to the loss bound R⁴/(A·A') beyond which it has not been
// seen to pass.
constexpr double kClosedFormRounding = 4e-12;
constexpr double kClosedFormLoss = 1e8;
// (R / size of a)² up to which the potential of a is trusted at Gauss–Legendre points.
constexpr double kPointLoss = 1e4;

// The means of the potential's integral; costs as measured (bench/fine_coefficients).
struct PotentialMeans {
  MeansCosts costs = {0.3, 1.5, 12, 15};
  double closed_form_loss = kClosedFormLoss;
  double point_loss = kPointLoss;
  double allowance = 0;  // the absolute error the caller accepts beside the relative bounds
  bool try_far = true;   // false where the caller found that no far expansion can take the pair
  double far_tolerance = kFarTolerance;  // the expansion's relative bound, at least kFarTolerance
  double closed_rounding = kClosedFormRounding;  // the closed form's, in double

  bool far(const AxisRect& a, const AxisRect& b, FarOrderBound bound, double& integral) const {
    if (!try_far) return false;
    double tolerance = far_tolerance;
    if (allowance > 0) {
      const SpaceBox box_a = space_box(a), box_b = space_box(b);
      if (beyond_any_expansion(box_a, box_b)) return false;
      // The expansion's bound is relative to I ≤ A·A'/g (g > 0, the boxes' gap: 1/r ≤ 1/g), so
      // a relative tolerance of allowance·g/(A·A') keeps its error within the allowance.
      const double upper = rectangle_area(a) * rectangle_area(b) / box_gap(box_a, box_b);
      tolerance = std::fmax(far_tolerance, std::fmin(kLoosestFarTolerance, allowance / upper));
    }
    return far_expansion_within(a, b, tolerance, bound, integral);
  }
  bool closed(const AxisRect& a, const AxisRect& b, double& integral) const {
    double rounding = 0;
    const double value = closed_form_integral(a, b, rounding);
    const double relative = 4 * rounding * 0x1p-53;
    if (!(relative <= closed_rounding ||
          (allowance > 0 && relative * std::fabs(value) <= allowance))) {
      return false;
    }
    integral = value;
    return true;
  }
  double extended(const AxisRect& a, const AxisRect& b) const {
    return extended_closed_form_integral(a, b);
  }
  double quadrature(const AxisRect& field, const AxisRect& hole, bool has_hole,
                    const AxisRect& points, int32_t nodes_u, int32_t nodes_v, bool) const {
    return integrated_potential(field, hole, has_hole, points, nodes_u, nodes_v);
  }
};

/// I(first, second) by the cheapest of `means`.
double integral_by(const AxisRect& first, const AxisRect& second, const PotentialMeans& means) {
  const PairOrder order = canonical_order(first, second);
  if (order.both_ways && same_rectangle(*order.a, *order.b)) return self_integral(*order.a);
  return by_cheapest_means(order, means);
}

}  // namespace

double galerkin_integral(const AxisRect& first, const AxisRect& second) {
  return galerkin_integral_within(first, second, 0);
}

double galerkin_integral_to(const AxisRect& first, const AxisRect& second, double far_tolerance) {
  PotentialMeans means;
  if (far_tolerance > kFarTolerance) {
    // A looser bound lets the closed form in double keep more of its pairs too, those whose
    // rounding estimate (which bounds its error) is within a hundredth of it: they are spared
    // the closed form in long double and the quadratures, the slowest of the means.
    means.far_tolerance = far_tolerance;
    means.closed_rounding = std::fmax(kClosedFormRounding, 0.01 * far_tolerance);
  }
  return integral_by(first, second, means);
}

double galerkin_integral_within(const AxisRect& first, const AxisRect& second, double allowance,
                                bool try_far) {
  PotentialMeans means;
  means.allowance = allowance > 0 ? allowance : 0;
  means.try_far = try_far;
  return integral_by(first, second, means);
}

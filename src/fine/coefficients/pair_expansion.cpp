// The far expansion of the potential: 1/|D + w| averaged over w = x − x', x uniform on a and x'
// on b, as the sum of the even moments of w against the derivatives of 1/r at D (far_pair.h).

#include "fine/coefficients/pair_expansion.h"

#include "fine/coefficients/far_pair.h"

double far_expansion_integral(const AxisRect& a, const AxisRect& b, int32_t order) {
  FarPair pair = far_pair(a, b);
  return pair.area_product * expansion_sum(pair, order, derivative_table(ExtraDerivative::none)) /
         pair.distance;
}

int32_t far_expansion_order(const AxisRect& a, const AxisRect& b, double tolerance) {
  FarPair pair = far_pair(a, b);
  return lowest_expansion_order(pair, ExpansionOf::potential, tolerance);
}

bool far_expansion_within(const AxisRect& a, const AxisRect& b, double tolerance,
                          FarOrderBound bound, double& integral) {
  FarPair pair = far_pair(a, b);
  const int32_t order = expansion_order_within(pair, ExpansionOf::potential, tolerance, bound);
  if (order < 0) return false;
  integral = pair.area_product *
             expansion_sum(pair, order, derivative_table(ExtraDerivative::none)) / pair.distance;
  return true;
}

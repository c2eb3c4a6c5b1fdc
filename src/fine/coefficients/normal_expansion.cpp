// The far expansion of the normal field: the derivative along the target's normal of the
// potential's (pair_expansion.cpp). In the frame of far_pair(t, s) the target's normal is γ and
// D runs from the source's centre to the target's, so that moving t along n_t moves D along γ:
// K = A_t·A_s·∂γ⟨1/|D + w|⟩ = A_t·A_s/|D|² · (D_γ/|D|) · Σ over the orders (far_pair.h).

#include "fine/coefficients/normal_expansion.h"

#include "fine/coefficients/far_pair.h"

namespace {

double expansion_value(FarPair& pair, int32_t order) {
  return pair.area_product / (pair.distance * pair.distance) * pair.unit[2] *
         expansion_sum(pair, order, derivative_table(ExtraDerivative::gamma));
}

}  // namespace

double normal_expansion_integral(const AxisRect& target, const AxisRect& source, int32_t order) {
  FarPair pair = far_pair(target, source);
  return expansion_value(pair, order);
}

int32_t normal_expansion_order(const AxisRect& target, const AxisRect& source, double tolerance) {
  FarPair pair = far_pair(target, source);
  return lowest_expansion_order(pair, ExpansionOf::normal_field, tolerance);
}

bool normal_expansion_within(const AxisRect& target, const AxisRect& source, double tolerance,
                             FarOrderBound bound, double& integral) {
  FarPair pair = far_pair(target, source);
  const int32_t order = expansion_order_within(pair, ExpansionOf::normal_field, tolerance, bound);
  if (order < 0) return false;
  integral = expansion_value(pair, order);
  return true;
}

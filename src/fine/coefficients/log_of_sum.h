#pragma once

// ln(t + R) in scalar arithmetic of any precision, for the closed forms' long double sums.

#include <cmath>

// t + R where R = √(t² + ρ²), for t < 0 as ρ² / (R − t), which does not suffer the
// cancellation of t + R (that sum even reaches zero when ρ² is below the rounding of t²).
template <typename Real>
Real sum_for_log(Real t, Real r, Real rho2) {
  return t >= 0 ? t + r : rho2 / (r - t);
}

template <typename Real>
Real log_of_sum(Real t, Real r, Real rho2) {
  return std::log(sum_for_log(t, r, rho2));
}

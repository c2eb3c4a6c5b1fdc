#include "fine/media/exponential_fit.h"

#include <cmath>

#include "fine/media/portable_exp.h"
#include "fine/media/variable_projection.h"

namespace {

// The largest of |Lambda(x)| <= x below 1 and |Lambda(x) - 1| <= 0.81 / sqrt(x) from 1 on
// (Lambda(x) = int_0^x J0; sqrt(x) |Lambda(x) - 1| rises to sqrt(2 / pi) = 0.7979 as x grows)
// for x in [low, high].
double bessel_weight(double low, double high) {
  if (high <= 1.0) return high;
  if (low >= 1.0) return 0.81 / std::sqrt(low);
  return 1.0;
}

// sup over rho of sum_m bessel_weight(kappa_m rho, kappa_{m+1} rho) |step_m|, taken over cells
// of rho between 1 / kappa_m, each cell bounded by the weights over its whole range.
double weighted_variation(const std::vector<double>& kappa, const std::vector<double>& step,
                          double tail) {
  const size_t count = kappa.size();
  std::vector<double> ends = {0.0};
  for (size_t m = count - 1; m >= 1; --m) ends.push_back(1.0 / kappa[m]);
  ends.push_back(HUGE_VAL);
  double worst = 0.0;
  for (size_t c = 0; c + 1 < ends.size(); ++c) {
    double sum = tail;
    for (size_t m = 0; m + 1 < count; ++m) {
      const double high = ends[c + 1] == HUGE_VAL ? HUGE_VAL : kappa[m + 1] * ends[c + 1];
      sum += bessel_weight(kappa[m] * ends[c], high) * step[m];
    }
    worst = std::fmax(worst, sum);
  }
  return worst;
}

}  // namespace

double spectral_error_bound(const SpectralSamples& check, const ExponentialSum& sum) {
  const size_t count = check.kappa.size();
  std::vector<double> misfit(count), step(count - 1);
  double sup = 0.0;
  for (size_t m = 0; m < count; ++m) {
    misfit[m] = check.value[m];
    for (size_t n = 0; n < sum.rate.size(); ++n) {
      misfit[m] -= sum.amplitude[n] * portable_exp(-check.kappa[m] * sum.rate[n]);
    }
    sup = std::fmax(sup, std::fabs(misfit[m]));
    if (m > 0) step[m - 1] = 1.05 * std::fabs(misfit[m] - misfit[m - 1]);
  }
  // Beyond the last sample F has died out and every term decays without sign change.
  double tail = std::fabs(check.value[count - 1]);
  for (size_t n = 0; n < sum.rate.size(); ++n) {
    tail += std::fabs(sum.amplitude[n]) * portable_exp(-check.kappa[count - 1] * sum.rate[n]);
  }
  sup = 1.05 * std::fmax(sup, tail);
  const double along = weighted_variation(check.kappa, step, 1.05 * tail) + 2.0 * sup;
  return std::sqrt(along * along + sup * sup);
}

ExponentialSum fit_exponential_sum(const SpectralSamples& fit, const SpectralSamples& check,
                                   const FitLimits& limits, double target) {
  ExponentialSum best;
  best.bound = spectral_error_bound(check, best);
  if (best.bound <= target) return best;
  VariableProjection projection(fit, limits);
  while (projection.term_count() < limits.max_terms) {
    if (!projection.add_term()) break;
    ExponentialSum sum = projection.sum();
    sum.bound = spectral_error_bound(check, sum);
    if (sum.bound < best.bound) best = sum;
    if (best.bound <= target) break;
  }
  return best;
}

#include "fine/media/exponential_fit.h"

#include <cmath>

#include "fine/media/image_sum_bound.h"
#include "fine/media/portable_exp.h"
#include "fine/media/variable_projection.h"

namespace {

constexpr double kReferenceShare = 0.5;   // of the target, the most the reference may err
constexpr double kResolution = 1.0 / 32;  // of the target, the margin of the spatial bound
// What the closed forms' rounding may cost per unit of |weight|, with a wide margin: a fit's
// bound carries it, so that cancelling weights cannot buy a shorter fit.
constexpr double kRoundingPerWeight = 1e-12;
constexpr double kWorthMeasuring = 30.0;  // times the target, the largest bound measured anew

// sup over rho of sum_m w_m(rho) step_m + tail, where step m lies between kappa_m and
// kappa_{m+1} and w_m bounds min(x, 0.81 / sqrt(x)) over x in [kappa_m, kappa_{m+1}] rho, taken
// over the cells of rho between consecutive 1 / kappa_q: in the cell 1 / kappa_{q+1} <= rho <=
// 1 / kappa_q the steps below q weigh at most kappa_{m+1} / kappa_q, step q weighs 1 and those
// above at most 0.81 sqrt(kappa_{q+1} / kappa_m). Prefix sums make it linear in the samples.
double weighted_variation(const std::vector<double>& kappa, const std::vector<double>& step,
                          double tail) {
  const size_t steps = step.size();
  // above[q] = sum_{m >= q} step_m / sqrt(kappa_m), for q >= 1 (kappa_0 = 0 is never above).
  std::vector<double> above(steps + 1, 0.0);
  for (size_t m = steps; m-- > 1;) above[m] = above[m + 1] + step[m] / std::sqrt(kappa[m]);
  double worst = 0.0, below = 0.0;  // below = sum_{m < q} kappa_{m+1} step_m
  for (size_t q = 0; q <= steps; ++q) {
    double sum = tail;
    if (q >= 1) sum += below / kappa[q];
    if (q < steps) sum += step[q];
    if (q + 1 <= steps) sum += 0.81 * std::sqrt(kappa[q + 1]) * above[q + 1];
    worst = std::fmax(worst, sum);
    if (q < steps) below += kappa[q + 1] * step[q];
  }
  return worst;
}

}  // namespace

double spectral_error_bound(const SpectralSamples& check, const ExponentialSum& sum) {
  const size_t count = check.kappa.size();
  const double h0 = check.least_height;
  std::vector<double> misfit(count), weight(count), step(count - 1);
  double sup = 0.0, mean = 0.0;
  for (size_t m = 0; m < count; ++m) {
    misfit[m] = check.value[m];
    for (size_t n = 0; n < sum.rate.size(); ++n) {
      misfit[m] -= sum.amplitude[n] * portable_exp(-check.kappa[m] * sum.rate[n]);
    }
    weight[m] = portable_exp(-check.kappa[m] * h0);
    sup = std::fmax(sup, std::fabs(misfit[m] * weight[m]));
    if (m == 0) continue;
    step[m - 1] = 1.05 * std::fabs(misfit[m] * weight[m] - misfit[m - 1] * weight[m - 1]);
    if (h0 > 0.0) {
      const double cell = std::fmax(std::fabs(misfit[m]), std::fabs(misfit[m - 1]));
      mean += 1.05 * cell * (weight[m - 1] - weight[m]);
    }
  }
  // Beyond the last sample F has died out and every term decays without sign change.
  double tail = std::fabs(check.value[count - 1]);
  for (size_t n = 0; n < sum.rate.size(); ++n) {
    tail += std::fabs(sum.amplitude[n]) * portable_exp(-check.kappa[count - 1] * sum.rate[n]);
  }
  tail *= weight[count - 1];
  sup = 1.05 * std::fmax(sup, tail);
  if (h0 > 0.0) mean += 1.05 * tail;
  const double along = weighted_variation(check.kappa, step, 1.05 * tail) + 2.0 * sup;
  return along + mean;
}

std::vector<ExponentialSum> exponential_sums(const SpectralSamples& fit,
                                             const SpectralSamples& check, const FitLimits& limits,
                                             double target) {
  std::vector<ExponentialSum> sums(1);
  sums[0].bound = spectral_error_bound(check, sums[0]);
  if (sums[0].bound <= target) return sums;
  VariableProjection projection(fit, limits);
  size_t reference = 0;  // the fit of the smallest bound
  while (projection.term_count() < limits.max_terms) {
    if (!projection.add_term()) break;
    ExponentialSum sum = projection.sum();
    sum.bound = spectral_error_bound(check, sum);
    sums.push_back(sum);
    if (sum.bound < sums[reference].bound) reference = sums.size() - 1;
    if (sum.bound <= kReferenceShare * target) break;
  }
  // Each fit against the reference, their difference a sum of images in space.
  const ExponentialSum& best = sums[reference];
  for (size_t n = 0; n < reference; ++n) {
    // The spatial error is rarely below a twentieth of the spectral bound: the fits far from
    // the target keep their spectral bound, which is as valid.
    // Only a spatial bound below the spectral one is of use: the measure stops once it
    // cannot be.
    if (sums[n].bound > kWorthMeasuring * target || !(sums[n].bound > best.bound)) continue;
    std::vector<double> rate = sums[n].rate, weight = sums[n].amplitude;
    rate.insert(rate.end(), best.rate.begin(), best.rate.end());
    for (double a : best.amplitude) weight.push_back(-a);
    const double spatial =
        best.bound + image_sum_bound(rate, weight, check.least_height, kResolution * target,
                                     sums[n].bound - best.bound);
    sums[n].bound = std::fmin(sums[n].bound, spatial);
  }
  for (ExponentialSum& sum : sums) {
    for (double a : sum.amplitude) sum.bound += kRoundingPerWeight * std::fabs(a);
  }
  return sums;
}

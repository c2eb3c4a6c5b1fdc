#include "fine/media/pair_fit.h"

#include <algorithm>
#include <cmath>

#include "fine/media/exponential_fit.h"
#include "fine/media/portable_exp.h"
#include "fine/media/tolerance_split.h"

namespace {

constexpr int32_t kFitSamplesPerEFold = 4;     // wavenumbers per factor e for the fit
constexpr int32_t kCheckSamplesPerEFold = 32;  // and for the error bound
constexpr int32_t kMostTerms = 40;             // exponentials per coefficient function

// The wavenumbers (over the stack's height) at which the functions are sampled: 0, then from
// far below the slowest variation (long-range resonances of high contrasts) to where the
// thinnest layer's exponentials have died out, evenly in log kappa.
std::vector<double> wavenumbers(const SpectralStack& stack, int32_t per_e_fold) {
  const auto [low, high] =
      std::minmax_element(stack.permittivity.begin(), stack.permittivity.end());
  const double first = 1e-3 * (*low / *high), last = 40.0 / stack.thinnest;
  std::vector<double> kappa = {0.0};
  for (int32_t m = 0;; ++m) {
    kappa.push_back(first * portable_exp(static_cast<double>(m) / per_e_fold));
    if (kappa.back() >= last) return kappa;
  }
}

// One coefficient function as the kernel uses it: its images, their multiplicity in the
// kernel (the two moved images of i == j share one function) and whether it is present.
struct Family {
  bool present;          // whether the pair has this family of images
  int32_t multiplicity;  // how often its error enters the kernel's
  bool mirror;           // images mirrored or moved
  double offset;         // offset of the image at rate 0
  double direction;      // +1: farther rates add to the offset, -1: subtract
  double least_height;   // the least h of e^{-k h} over the two layers, in the stack's height
};

// The thicknesses of merged layers first .. last over the stack's height (0 for none).
double thickness_of(const SpectralStack& stack, int32_t first, int32_t last) {
  double sum = 0.0;
  for (int32_t l = first; l <= last; ++l) sum += stack.thickness[l];
  return sum;
}

// The four families of source <= target, in the order of pair_spectrum's functions. Their
// least heights: z + z' - 2b over the source's bottom b, 2t - z - z' under the target's top t,
// z - z' across the layers between, 2d +- (z - z') within a layer of thickness d.
void families(const SpectralStack& stack, int32_t i, int32_t j, Family out[4]) {
  const int32_t last = static_cast<int32_t>(stack.permittivity.size()) - 1;
  const bool below = i > 0, above = j < last;
  const double bottom = below ? stack.top[i - 1] : 0.0, top = above ? stack.top[j] : 0.0;
  if (i == j) {
    const double span = below && above ? 2.0 * (top - bottom) : 0.0;
    out[0] = {below, 1, true, 2.0 * bottom, -1.0, 0.0};
    out[1] = {above, 1, true, 2.0 * top, 1.0, 0.0};
    // and its copy at -span, rates subtracted
    out[2] = {below && above, 2, false, span, 1.0, stack.thickness[i]};
    out[3] = {false, 0, false, 0.0, 0.0, 0.0};
    return;
  }
  out[0] = {true, 1, false, 0.0, -1.0, thickness_of(stack, i + 1, j - 1)};
  out[1] = {below, 1, true, 2.0 * bottom, -1.0, thickness_of(stack, i, j - 1)};
  out[2] = {above, 1, true, 2.0 * top, 1.0, thickness_of(stack, i + 1, j)};
  out[3] = {below && above, 1, false, 2.0 * (top - bottom), 1.0, thickness_of(stack, i, j)};
}

void add_term(LayerPairKernel* kernel, double weight, bool mirror, double offset) {
  if (weight != 0.0) kernel->terms.push_back({weight, mirror, offset});
}

// The images of one family: its limit and the chosen fit, and the mirrored copy of i == j.
void add_family(const Family& family, double limit, const ExponentialSum& sum, double length,
                LayerPairKernel* kernel) {
  add_term(kernel, limit, family.mirror, family.offset);
  for (size_t n = 0; n < sum.rate.size(); ++n) {
    add_term(kernel, sum.amplitude[n], family.mirror,
             family.offset + family.direction * sum.rate[n] * length);
  }
  if (family.multiplicity == 2) {  // the moved images of i == j on the other side
    add_term(kernel, limit, false, -family.offset);
    for (size_t n = 0; n < sum.rate.size(); ++n) {
      add_term(kernel, sum.amplitude[n], false, -(family.offset + sum.rate[n] * length));
    }
  }
}

}  // namespace

LayerPairKernel fit_layer_pair(const SpectralStack& stack, int32_t source, int32_t target,
                               double tolerance) {
  const int32_t i = source, j = target;
  const double eps_min = std::fmin(stack.permittivity[i], stack.permittivity[j]);
  Family family[4];
  families(stack, i, j, family);
  int32_t shares = 0;
  for (const Family& f : family) shares += f.present ? f.multiplicity : 0;

  const std::vector<double> fit_kappa = wavenumbers(stack, kFitSamplesPerEFold);
  const std::vector<double> check_kappa = wavenumbers(stack, kCheckSamplesPerEFold);
  double limit[4];
  pair_spectrum(stack, i, j, HUGE_VAL, limit);
  SpectralSamples fit[4], check[4];
  for (int32_t f = 0; f < 4; ++f) {
    fit[f].kappa = fit_kappa, check[f].kappa = check_kappa;
    fit[f].least_height = check[f].least_height = family[f].least_height;
  }
  for (double kappa : fit_kappa) {
    double value[4];
    pair_spectrum(stack, i, j, kappa, value);
    for (int32_t f = 0; f < 4; ++f) fit[f].value.push_back(value[f] - limit[f]);
  }
  for (double kappa : check_kappa) {
    double value[4];
    pair_spectrum(stack, i, j, kappa, value);
    for (int32_t f = 0; f < 4; ++f) check[f].value.push_back(value[f] - limit[f]);
  }

  // The rates run from the thinnest layer to well below the first wavenumber sampled.
  FitLimits limits = {stack.thinnest, 0.0, kMostTerms};
  const double rate_hi = 1e-2 / fit_kappa[1];
  while (limits.rate_lo * portable_exp(limits.theta_hi + 0.2) <= rate_hi) limits.theta_hi += 0.2;

  // Each family fitted to an even share of the tolerance, then the shares moved to where
  // they save the most terms.
  LayerPairKernel kernel;
  kernel.error = stack.permittivity.size() >= 3 ? kRoundedStackError : 0.0;
  const double budget = (tolerance - kernel.error) / eps_min;
  std::vector<std::vector<ExponentialSum>> sums;
  std::vector<int32_t> multiplicity;
  for (int32_t f = 0; f < 4; ++f) {
    if (!family[f].present) continue;
    sums.push_back(exponential_sums(fit[f], check[f], limits, budget / shares));
    multiplicity.push_back(family[f].multiplicity);
  }
  const std::vector<int32_t> chosen = cheapest_split(sums, multiplicity, budget);
  if (i == j) add_term(&kernel, 1.0 / stack.permittivity[i], false, 0.0);
  for (int32_t f = 0, present = 0; f < 4; ++f) {
    if (!family[f].present) continue;
    const ExponentialSum& sum = sums[present][chosen[present]];
    kernel.error += eps_min * family[f].multiplicity * sum.bound;
    add_family(family[f], limit[f], sum, stack.length, &kernel);
    ++present;
  }
  return kernel;
}

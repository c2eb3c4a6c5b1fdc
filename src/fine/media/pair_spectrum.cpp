#include "fine/media/pair_spectrum.h"

#include <cmath>

#include "fine/media/portable_exp.h"

namespace {

// x with its mantissa rounded to 40 bits: a stack scaled by any factor, whose thicknesses
// over its height differ from the unscaled ones by rounding only, gives the same bits here
// (but for a chance of about 1e-4 per layer that a rounding boundary lies between them).
double rounded_ratio(double x) {
  int exponent = 0;
  const double mantissa = std::frexp(x, &exponent);
  return std::ldexp(std::nearbyint(std::ldexp(mantissa, 40)), exponent - 40);
}

}  // namespace

SpectralStack spectral_stack(const MergedStack& merged) {
  SpectralStack stack;
  stack.permittivity = merged.permittivity;
  stack.top = merged.top;
  const size_t count = merged.permittivity.size();
  stack.length = count >= 3 ? merged.top.back() - merged.top.front() : 1.0;
  stack.thickness.assign(count, 0.0);
  stack.thinnest = 1.0;
  for (size_t l = 1; l + 1 < count; ++l) {
    stack.thickness[l] = rounded_ratio((merged.top[l] - merged.top[l - 1]) / stack.length);
    stack.thinnest = std::fmin(stack.thinnest, stack.thickness[l]);
  }
  return stack;
}

namespace {

// The reflection of a wave in layer a at its interface with layer b.
double interface_reflection(const SpectralStack& stack, size_t a, size_t b) {
  const double ea = stack.permittivity[a], eb = stack.permittivity[b];
  return (ea - eb) / (ea + eb);
}

// e^{-2 k d_l} for a finite layer l, 0 for the outer ones (and for kappa = infinity).
double round_trip(const SpectralStack& stack, size_t l, double kappa) {
  if (stack.thickness[l] == 0.0) return 0.0;
  return portable_exp(-2.0 * kappa * stack.thickness[l]);
}

}  // namespace

void pair_spectrum(const SpectralStack& stack, int32_t source, int32_t target, double kappa,
                   double out[4]) {
  const size_t count = stack.permittivity.size();
  const size_t i = static_cast<size_t>(source), j = static_cast<size_t>(target);
  // Reflections looking down from the bottom of layer i, built up from layer 0.
  double down = 0.0;
  for (size_t l = 1; l <= i; ++l) {
    const double r = interface_reflection(stack, l, l - 1);
    const double below = down * round_trip(stack, l - 1, kappa);
    down = (r + below) / (1.0 + r * below);
  }
  // Reflections looking up from the top of each layer l >= i, built down from the top.
  std::vector<double> up(count, 0.0);
  for (size_t l = count - 1; l-- > i;) {
    const double r = interface_reflection(stack, l, l + 1);
    const double above = up[l + 1] * round_trip(stack, l + 1, kappa);
    up[l] = (r + above) / (1.0 + r * above);
  }
  const double resonance = 1.0 - up[i] * down * round_trip(stack, i, kappa);
  const double direct = 1.0 / (stack.permittivity[i] * resonance);
  if (i == j) {
    out[0] = direct * down;
    out[1] = direct * up[i];
    out[2] = direct * up[i] * down;
    out[3] = 0.0;
    return;
  }
  // Potential continuity carries the upward wave across each interface between i and j.
  double transmission = direct;
  for (size_t l = i; l < j; ++l) {
    transmission *= (1.0 + up[l]) / (1.0 + up[l + 1] * round_trip(stack, l + 1, kappa));
  }
  out[0] = transmission;
  out[1] = transmission * down;
  out[2] = transmission * up[j];
  out[3] = transmission * down * up[j];
}

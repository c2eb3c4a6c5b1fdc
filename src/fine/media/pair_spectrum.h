#pragma once

#include <cstdint>
#include <vector>

#include "fine/media/layer_stack.h"

/// A merged stack in the units of its own height, as the spectral functions need it.
struct SpectralStack {
  std::vector<double> permittivity;  // relative permittivity of each merged layer
  std::vector<double> thickness;     // thickness over `length` to 40 bits; 0 for outer layers
  std::vector<double> top;           // boundaries between merged layers, in the stack's units
  double length;    // from the lowest to the highest boundary; 1 with fewer than two boundaries
  double thinnest;  // the smallest thickness over `length`; 1 without finite layers
};

/// The merged stack in its own units; the thicknesses are rounded to 40 bits (1e-12 relative),
/// so that the fits of a scaled stack are the same bits, at a cost to the kernel below 1e-11
/// relative (kRoundedStackError).
SpectralStack spectral_stack(const MergedStack& merged);

/// What rounding the thicknesses can change in G' relative to 1 / (eps_min |x - x'|), with a
/// wide margin: images move by 1e-12 of the stack's height.
constexpr double kRoundedStackError = 1e-10;

/// The Hankel transform of G'_ij(rho, z, z') = int_0^inf J0(k rho) g(k, z, z') dk, for source
/// layer i <= target layer j, is a sum of the four coefficient functions below times
/// exponentials of z and z'. With k = kappa / length (kappa = infinity for the limit k -> inf),
/// the generalized reflections Gd (down from layer i's bottom b) and Gu (up from j's top t),
/// Di = 1 - Gu_i Gd_i exp(-2 k d_i) and the transmission T = prod_{i <= l < j} tau_l / (eps_i Di):
///   i == j: out = {Gd / (eps_i Di), Gu / (eps_i Di), Gu Gd / (eps_i Di), 0}, the factors of
///           e^{-k(z + z' - 2b)}, e^{-k(2t - z - z')} and e^{-k(2d_i +- (z - z'))};
///   i <  j: out = {T, T Gd_i, T Gu_j, T Gd_i Gu_j}, the factors of e^{-k(z - z')},
///           e^{-k(z + z' - 2b)}, e^{-k(2t - z - z')} and e^{-k(2t - 2b - z + z')}.
/// The direct term e^{-k|z - z'|} / eps_i of i == j is not among them.
void pair_spectrum(const SpectralStack& stack, int32_t source, int32_t target, double kappa,
                   double out[4]);

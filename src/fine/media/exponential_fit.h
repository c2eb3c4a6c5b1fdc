#pragma once

#include <cstdint>
#include <vector>

/// Samples of y(kappa) = F(kappa) - F(infinity) of one spectral coefficient function F, whose
/// images lie at least `least_height` from the target along z (in the units of 1 / kappa): the
/// kernel meets y only through e^{-kappa h} y with h >= least_height.
struct SpectralSamples {
  std::vector<double> kappa;  // ascending wavenumbers: 0 first, the last where y has died out
  std::vector<double> value;  // y at each wavenumber
  double least_height = 0.0;  // the smallest h of the family's images over all source-target pairs
};

/// y(kappa) ~ sum_n amplitude_n exp(-kappa rate_n): each term is an image `rate` farther away.
struct ExponentialSum {
  std::vector<double> rate;       // decay rate of each term, within the fit's limits
  std::vector<double> amplitude;  // weight of each term
  double bound = 0.0;             // spectral_error_bound of the sum
};

/// Where the rates of a fit may lie, and how many terms it may have.
struct FitLimits {
  double rate_lo;     // the smallest rate; rates are rate_lo * e^theta with 0 <= theta
  double theta_hi;    // the largest theta
  int32_t max_terms;  // the most terms a fit may use
};

/// A bound on sup |x - x'| |G_fit - G_exact| of one family of images, where
/// G(rho, h) = int_0^inf J0(k rho) e^{-k h} D(k) dk, D = F - F_fit, h >= h0 (the samples'
/// least_height) and |x - x'| <= sqrt(rho^2 + h^2) <= R' + h0, R' the distance from the point
/// h0 above the source. G is harmonic for h > 0, bounded and decays like 1 / R: by Kelvin's
/// inversion about that point and the maximum principle, sup R' |G| and sup |G| over h >= h0
/// are taken on the plane h = h0. There, with D0 = e^{-k h0} D and S = sup |D0|, J0 integrated
/// by parts, Lambda(x) = int_0^x J0, split where k rho = 1,
///   rho |G(rho, h0)| <= int_0^inf w(k rho) |D0'(k)| dk + 2 S,  w(x) = min(x, 0.81 / sqrt(x)),
///   h0 |G(rho, h0)| <= int h0 e^{-k h0} |D| dk  (0 for h0 = 0),
/// both suprema taken on the samples `check` (5 % added for what lies between them, the tail
/// beyond the last sample counted in full). The bound is their sum.
double spectral_error_bound(const SpectralSamples& check, const ExponentialSum& sum);

/// Fits of 0, 1, 2, ... terms, each the best found with that many, until one's bound on
/// `check` is at most half of `target` or limits.max_terms are used: terms are added one
/// at a time where they best reduce the least-squares misfit on `fit` (weighed by
/// e^{-kappa h0}), and all rates are then refined together (variable projection,
/// Levenberg-Marquardt). The fit of the smallest bound then serves as the reference of the
/// others: a fit's bound is the smaller of its own and the reference's plus their difference,
/// a sum of images, measured in space (image_sum_bound), which is far tighter than the
/// spectral bound's variation. Every bound then carries 1e-12 sum |amplitude| for the rounding
/// of the closed forms, so that sum |amplitude| <= 1e12 times the bound chosen. Deterministic:
/// the same samples give the same bits.
std::vector<ExponentialSum> exponential_sums(const SpectralSamples& fit,
                                             const SpectralSamples& check, const FitLimits& limits,
                                             double target);

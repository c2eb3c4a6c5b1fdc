#pragma once

#include <cstdint>
#include <vector>

/// Samples of y(kappa) = F(kappa) - F(infinity) of one spectral coefficient function F.
struct SpectralSamples {
  std::vector<double> kappa;  // ascending wavenumbers: 0 first, the last where y has died out
  std::vector<double> value;  // y at each wavenumber
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
/// G(rho, h) = int_0^inf J0(k rho) f(k) dk, f = e^{-k h} D, D = F - F_fit, and
/// |x - x'| <= sqrt(rho^2 + h^2). With S = sup |D|: h |G_fit - G| <= S; and J0 integrated by
/// parts, Lambda(x) = int_0^x J0, split where k rho = 1,
///   rho |G_fit - G| <= int_0^inf w(k rho) |D'(k)| dk + 2 S,  w(x) = min(x, 0.81 / sqrt(x)),
/// whose supremum over rho is taken on the samples `check` (5 % added for what lies between
/// them, the tail beyond the last sample counted in full). The bound is the root of the sum
/// of both squares.
double spectral_error_bound(const SpectralSamples& check, const ExponentialSum& sum);

/// The fewest terms found, up to limits.max_terms, whose bound on `check` is at most `target`:
/// terms are added one at a time where they best reduce the least-squares misfit on `fit`,
/// and all rates are then refined together (variable projection, Levenberg-Marquardt). When
/// no fit within the limits reaches `target`, the one with the smallest bound. Deterministic:
/// the same samples give the same bits.
ExponentialSum fit_exponential_sum(const SpectralSamples& fit, const SpectralSamples& check,
                                   const FitLimits& limits, double target);

#pragma once

#include <cstdint>
#include <vector>

#include "fine/media/exponential_fit.h"
#include "fine/media/householder_qr.h"

/// Least-squares fits y(kappa) ~ sum_n a_n exp(-kappa rate_lo e^{theta_n}) on samples, each
/// weighed by e^{-kappa h0} as the kernel meets it (h0 the samples' least_height; samples
/// weighing less than 1e-10 are left out), the amplitudes a solved anew for each set of thetas
/// (variable projection), so that only the thetas are searched for.
class VariableProjection {
 public:
  VariableProjection(const SpectralSamples& fit, const FitLimits& limits);
  int32_t term_count() const { return static_cast<int32_t>(state_.theta.size()); }
  /// Adds a term and refines all, from two starts: the present thetas with the one of a grid
  /// 0.2 apart that most reduces the misfit with them held, and all thetas afresh, evenly
  /// spread; the lower misfit is kept. False when no term can be added.
  bool add_term();
  /// The present fit (its bound not yet set).
  ExponentialSum sum() const;

 private:
  struct State {
    std::vector<double> theta;      // log of each rate over rate_lo, in [0, theta_hi]
    std::vector<double> amplitude;  // least-squares amplitudes for these thetas
    std::vector<double> residual;   // y minus the fit at each sample
    double cost = 0.0;              // squared norm of the residual
    HouseholderQr qr;               // factors of the samples' exponentials
  };

  /// Solves for the amplitudes at `theta`; false when two terms are numerically one.
  bool evaluate(const std::vector<double>& theta, State* state) const;
  double rate(double theta) const;
  /// Levenberg-Marquardt on all thetas of `state` together, with Kaufman's Jacobian of the
  /// projected misfit.
  void refine(State* state) const;
  /// Levenberg-Marquardt step from `state` for damping `damping`: the thetas to try next.
  std::vector<double> step(const State& state, const std::vector<double>& jacobian,
                           double damping) const;

  std::vector<double> kappa_;   // wavenumbers of the samples fitted
  std::vector<double> weight_;  // e^{-kappa h0} of each
  std::vector<double> value_;   // y times the weight at each
  FitLimits limits_;            // range of the rates
  State state_;                 // the present fit
};

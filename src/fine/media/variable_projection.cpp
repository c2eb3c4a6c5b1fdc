#include "fine/media/variable_projection.h"

#include <cmath>

#include "fine/media/portable_exp.h"

namespace {

constexpr double kCandidateSpacing = 0.2;    // between thetas tried for a new term
constexpr double kNearestCandidate = 0.1;    // closest a new theta may come to a present one
constexpr double kNearestTerms = 0.02;       // closest two thetas of a fit may come
constexpr int32_t kCandidatesTried = 1;      // greedy new terms refined at each step
constexpr double kDistinctCandidates = 1.0;  // least theta between two of them

double dot(const std::vector<double>& a, const std::vector<double>& b) {
  double sum = 0.0;
  for (size_t i = 0; i < a.size(); ++i) sum += a[i] * b[i];
  return sum;
}

}  // namespace

VariableProjection::VariableProjection(const SpectralSamples& fit, const FitLimits& limits)
    : limits_(limits) {
  for (size_t m = 0; m < fit.kappa.size(); ++m) {
    const double weight = portable_exp(-fit.kappa[m] * fit.least_height);
    if (weight < 1e-10) break;
    kappa_.push_back(fit.kappa[m]);
    weight_.push_back(weight);
    value_.push_back(fit.value[m] * weight);
  }
  state_.residual = value_;
  state_.cost = dot(value_, value_);
}

double VariableProjection::rate(double theta) const {
  return limits_.rate_lo * portable_exp(theta);
}

bool VariableProjection::evaluate(const std::vector<double>& theta, State* state) const {
  const size_t rows = kappa_.size(), cols = theta.size();
  // Terms closer than this mimic a derivative with huge amplitudes of both signs: refused.
  for (size_t a = 0; a < cols; ++a) {
    for (size_t b = 0; b < a; ++b) {
      if (std::fabs(theta[a] - theta[b]) < kNearestTerms) return false;
    }
  }
  std::vector<double> matrix(rows * cols);
  for (size_t n = 0; n < cols; ++n) {
    const double r = rate(theta[n]);
    for (size_t m = 0; m < rows; ++m)
      matrix[n * rows + m] = portable_exp(-kappa_[m] * r) * weight_[m];
  }
  if (!state->qr.factor(std::move(matrix), static_cast<int32_t>(rows),
                        static_cast<int32_t>(cols))) {
    return false;
  }
  state->theta = theta;
  state->residual = value_;
  state->amplitude.assign(cols, 0.0);
  state->qr.solve(state->residual.data(), state->amplitude.data());
  state->cost = dot(state->residual, state->residual);
  return std::isfinite(state->cost);
}

bool VariableProjection::add_term() {
  const size_t rows = kappa_.size();
  // The best-scoring candidates of distinct regions, each refined; the lowest misfit is kept.
  std::vector<double> scores;
  std::vector<double> thetas;
  for (double theta = 0.0; theta <= limits_.theta_hi; theta += kCandidateSpacing) {
    bool crowded = false;
    for (double present : state_.theta) crowded |= std::fabs(present - theta) < kNearestCandidate;
    if (crowded) continue;
    std::vector<double> column(rows);
    const double r = rate(theta);
    for (size_t m = 0; m < rows; ++m) column[m] = portable_exp(-kappa_[m] * r) * weight_[m];
    const double whole = dot(column, column);
    if (!state_.theta.empty()) state_.qr.project_out(column.data());
    const double norm = dot(column, column);
    if (!(norm > 1e-20 * whole)) continue;
    const double along = dot(column, state_.residual);
    scores.push_back(along * along / norm);
    thetas.push_back(theta);
  }
  State best;
  bool found = false;
  for (int32_t tries = 0; tries < kCandidatesTried; ++tries) {
    size_t pick = scores.size();
    for (size_t c = 0; c < scores.size(); ++c) {
      if (scores[c] > 0.0 && (pick == scores.size() || scores[c] > scores[pick])) pick = c;
    }
    if (pick == scores.size()) break;
    for (size_t c = 0; c < scores.size(); ++c) {
      if (std::fabs(thetas[c] - thetas[pick]) < kDistinctCandidates) scores[c] = 0.0;
    }
    std::vector<double> theta = state_.theta;
    theta.push_back(thetas[pick]);
    State trial;
    if (!evaluate(theta, &trial)) continue;
    refine(&trial);
    if (!found || trial.cost < best.cost) best = std::move(trial);
    found = true;
  }
  // And a start afresh, the thetas evenly spread: the greedy start's basin can trap it.
  const size_t count = state_.theta.size() + 1;
  std::vector<double> spread(count);
  for (size_t n = 0; n < count; ++n) spread[n] = limits_.theta_hi * (n + 1.0) / (count + 1.0);
  State fresh;
  if (evaluate(spread, &fresh)) {
    refine(&fresh);
    if (!found || fresh.cost < best.cost) best = std::move(fresh);
    found = true;
  }
  if (found) state_ = std::move(best);
  return found;
}

std::vector<double> VariableProjection::step(const State& state,
                                             const std::vector<double>& jacobian,
                                             double damping) const {
  const size_t rows = kappa_.size(), cols = state.theta.size(), all = rows + cols;
  std::vector<double> augmented(all * cols, 0.0), rhs(all, 0.0);
  for (size_t n = 0; n < cols; ++n) {
    double norm = 0.0;
    for (size_t m = 0; m < rows; ++m) {
      augmented[n * all + m] = jacobian[n * rows + m];
      norm += jacobian[n * rows + m] * jacobian[n * rows + m];
    }
    augmented[n * all + rows + n] = std::sqrt(damping * (norm > 0.0 ? norm : 1.0));
  }
  for (size_t m = 0; m < rows; ++m) rhs[m] = -state.residual[m];
  HouseholderQr qr;
  std::vector<double> delta(cols, 0.0);
  if (!qr.factor(std::move(augmented), static_cast<int32_t>(all), static_cast<int32_t>(cols))) {
    return state.theta;
  }
  qr.solve(rhs.data(), delta.data());
  std::vector<double> theta = state.theta;
  for (size_t n = 0; n < cols; ++n) {
    theta[n] = std::fmin(std::fmax(theta[n] + delta[n], 0.0), limits_.theta_hi);
  }
  return theta;
}

void VariableProjection::refine(State* state_ptr) const {
  State& state = *state_ptr;
  const size_t rows = kappa_.size(), cols = state.theta.size();
  double damping = 1e-2;
  for (int32_t iteration = 0; iteration < 50; ++iteration) {
    // d residual / d theta_n = P_perp (kappa rate_n e^{-kappa rate_n}) a_n (Kaufman).
    std::vector<double> jacobian(rows * cols);
    for (size_t n = 0; n < cols; ++n) {
      const double r = rate(state.theta[n]);
      double* column = &jacobian[n * rows];
      for (size_t m = 0; m < rows; ++m) {
        const double x = kappa_[m] * r;
        column[m] = state.amplitude[n] * x * portable_exp(-x) * weight_[m];
      }
      state.qr.project_out(column);
    }
    bool improved = false;
    while (!improved && damping < 1e12) {
      State next;
      if (evaluate(step(state, jacobian, damping), &next) && next.cost < state.cost) {
        const double gain = state.cost - next.cost;
        improved = true;
        damping = std::fmax(damping / 3.0, 1e-12);
        const bool settled = gain <= 1e-4 * state.cost;
        state = std::move(next);
        if (settled) return;
      } else {
        damping *= 4.0;
      }
    }
    if (!improved) return;
  }
}

ExponentialSum VariableProjection::sum() const {
  ExponentialSum sum;
  for (size_t n = 0; n < state_.theta.size(); ++n) {
    sum.rate.push_back(rate(state_.theta[n]));
    sum.amplitude.push_back(state_.amplitude[n]);
  }
  return sum;
}

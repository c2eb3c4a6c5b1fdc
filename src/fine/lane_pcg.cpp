#include "fine/lane_pcg.h"

#include <cmath>

void apply_operator(const LevelOperator& P, const double* x, double* y, int32_t lanes,
                    FarFieldWork& work) {
  const int64_t size = static_cast<int64_t>(P.near.n) * lanes;
  for (int64_t k = 0; k < size; ++k) y[k] = 0.0;
  multiply_near_field(P.near, x, y, lanes);
  multiply_far_field(P.far, x, y, lanes, work);
}

namespace {

/// dot[w] = Σ_i a[i][w] b[i][w], in ascending i.
void lane_dots(const double* a, const double* b, int32_t n, int32_t lanes, double* dot) {
  for (int32_t w = 0; w < lanes; ++w) dot[w] = 0.0;
  for (int64_t i = 0; i < n; ++i) {
    for (int32_t w = 0; w < lanes; ++w) dot[w] += a[i * lanes + w] * b[i * lanes + w];
  }
}

}  // namespace

std::vector<LaneOutcome> solve_lanes(const LevelOperator& P, const IncompleteFactor& factor,
                                     const double* b, double* x, double* y, int32_t lanes,
                                     double tolerance, int32_t max_iterations) {
  const int32_t n = P.near.n;
  const int64_t size = static_cast<int64_t>(n) * lanes;
  std::vector<double> r(size), z(size), p(size), q(size);
  std::vector<double> rho(lanes), pq(lanes), rr(lanes), bb(lanes), next_rho(lanes);
  std::vector<LaneOutcome> outcome(lanes);
  std::vector<char> active(lanes, 1);
  FarFieldWork work;

  apply_operator(P, x, q.data(), lanes, work);
  for (int64_t k = 0; k < size; ++k) r[k] = b[k] - q[k];
  lane_dots(b, b, n, lanes, bb.data());
  lane_dots(r.data(), r.data(), n, lanes, rr.data());
  int32_t running = 0;
  for (int32_t w = 0; w < lanes; ++w) {
    if (rr[w] <= tolerance * tolerance * bb[w]) {
      active[w] = 0;
      outcome[w].converged = true;
    } else {
      ++running;
    }
  }
  apply_incomplete_factor(factor, r.data(), z.data(), lanes);
  p = z;
  lane_dots(r.data(), z.data(), n, lanes, rho.data());
  for (int32_t step = 0; running > 0 && step < max_iterations; ++step) {
    apply_operator(P, p.data(), q.data(), lanes, work);
    lane_dots(p.data(), q.data(), n, lanes, pq.data());
    std::vector<double> alpha(lanes, 0.0);
    for (int32_t w = 0; w < lanes; ++w) {
      if (!active[w]) continue;
      if (!(pq[w] > 0.0) || !std::isfinite(pq[w])) {
        active[w] = 0;  // the step has no length: give up on this lane
        --running;
        continue;
      }
      alpha[w] = rho[w] / pq[w];
      outcome[w].iterations += 1;
    }
    for (int64_t i = 0; i < n; ++i) {
      for (int32_t w = 0; w < lanes; ++w) {
        x[i * lanes + w] += alpha[w] * p[i * lanes + w];
        r[i * lanes + w] -= alpha[w] * q[i * lanes + w];
      }
    }
    lane_dots(r.data(), r.data(), n, lanes, rr.data());
    for (int32_t w = 0; w < lanes; ++w) {
      if (active[w] && rr[w] <= tolerance * tolerance * bb[w]) {
        active[w] = 0;
        outcome[w].converged = true;
        --running;
      }
    }
    if (running == 0) break;
    apply_incomplete_factor(factor, r.data(), z.data(), lanes);
    lane_dots(r.data(), z.data(), n, lanes, next_rho.data());
    for (int32_t w = 0; w < lanes; ++w) {
      double beta = active[w] ? next_rho[w] / rho[w] : 0.0;
      rho[w] = next_rho[w];
      for (int64_t i = 0; i < n; ++i) p[i * lanes + w] = z[i * lanes + w] + beta * p[i * lanes + w];
    }
  }
  apply_operator(P, x, y, lanes, work);
  return outcome;
}

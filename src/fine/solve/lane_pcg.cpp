#include "fine/solve/lane_pcg.h"

#include <cmath>

FarFieldWork::FarFieldWork(const FarField& far)
    : multipole(new LaneBlock[far.block_count]), local(new LaneBlock[far.block_count]) {}

LaneWork::LaneWork(const FarField& far_field, int32_t n)
    : far(far_field),
      r(new LaneBlock[n]),
      z(new LaneBlock[n]),
      p(new LaneBlock[n]),
      q(new LaneBlock[n]) {}

void apply_operator(const LevelOperator& P, const LaneBlock* x, LaneBlock* y, FarFieldWork& work) {
  P.kernels.near_multiply(P.near, x, y);
  P.kernels.far_multiply(P.far, P.cap, x, y, work.multipole.get(), work.local.get());
}

std::vector<LaneOutcome> solve_lanes(const LevelOperator& Q, const LevelOperator& P,
                                     const IncompleteFactor& factor, const LaneBlock* b,
                                     LaneBlock* x, LaneBlock* y, double tolerance,
                                     int32_t max_iterations, LaneWork& lane_work) {
  const FineKernels& k = Q.kernels;
  const int32_t n = Q.near.n;
  LaneBlock* r = lane_work.r.get();
  LaneBlock* z = lane_work.z.get();
  LaneBlock* p = lane_work.p.get();
  LaneBlock* q = lane_work.q.get();
  std::vector<LaneOutcome> outcome(kFineLanes);
  FarFieldWork& work = lane_work.far;
  bool active[kFineLanes];
  int32_t running = 0;

  apply_operator(Q, x, q, work);
  for (int32_t i = 0; i < n; ++i)
    for (int32_t w = 0; w < kFineLanes; ++w) r[i].lane[w] = b[i].lane[w] - q[i].lane[w];
  LaneBlock bb, rr0;
  k.dot(b, b, n, &bb);
  k.dot(r, r, n, &rr0);
  LaneBlock bound;  // tolerance² · |b|², the residual norm² to reach
  for (int32_t w = 0; w < kFineLanes; ++w) {
    bound.lane[w] = tolerance * tolerance * bb.lane[w];
    active[w] = !(rr0.lane[w] <= bound.lane[w]);
    outcome[w].converged = !active[w];
    running += active[w] ? 1 : 0;
  }
  k.factor_solve(factor, r, z);
  for (int32_t i = 0; i < n; ++i) p[i] = z[i];
  LaneBlock rho;
  k.dot(r, z, n, &rho);
  for (int32_t step = 0; running > 0 && step < max_iterations; ++step) {
    apply_operator(Q, p, q, work);
    LaneBlock pq;
    k.dot(p, q, n, &pq);
    LaneBlock alpha{};
    for (int32_t w = 0; w < kFineLanes; ++w) {
      if (!active[w]) continue;
      if (!(pq.lane[w] > 0.0) || !std::isfinite(pq.lane[w])) {
        active[w] = false;  // the step has no length: this lane gives up
        --running;
        continue;
      }
      alpha.lane[w] = rho.lane[w] / pq.lane[w];
      outcome[w].iterations += 1;
    }
    LaneBlock rr;
    k.update(&alpha, p, q, x, r, n, &rr);
    for (int32_t w = 0; w < kFineLanes; ++w) {
      if (active[w] && rr.lane[w] <= bound.lane[w]) {
        active[w] = false;
        outcome[w].converged = true;
        --running;
      }
    }
    if (running == 0) break;
    k.factor_solve(factor, r, z);
    LaneBlock next_rho;
    k.dot(r, z, n, &next_rho);
    LaneBlock beta{};
    for (int32_t w = 0; w < kFineLanes; ++w) {
      if (active[w]) beta.lane[w] = next_rho.lane[w] / rho.lane[w];
    }
    rho = next_rho;
    k.next_direction(&beta, p, z, n);
  }
  apply_operator(P, x, y, work);
  return outcome;
}

#include "fine/solve/lane_pcg.h"

#include <cmath>

#include "common/huge_pages.h"

LaneWork::LaneWork(const FarField& far_field, const LevelPreconditioner& M, int32_t n)
    : far(far_field),
      b(new_advised_array<Lanes<kNarrowLanes>>(n)),
      x(new_advised_array<Lanes<kNarrowLanes>>(n)),
      y(new_advised_array<Lanes<kNarrowLanes>>(n)),
      r(new_advised_array<Lanes<kNarrowLanes>>(n)),
      z(new_advised_array<Lanes<kNarrowLanes>>(n)),
      p(new_advised_array<Lanes<kNarrowLanes>>(n)),
      q(new_advised_array<Lanes<kNarrowLanes>>(n)),
      preconditioner(new_advised_array<Lanes<kNarrowLanes>>(M.work_size())) {}

void apply_operator(const LevelOperator& P, const Lanes<kNarrowLanes>* x, Lanes<kNarrowLanes>* y,
                    FarFieldWork& work, int32_t threads) {
  const NearKernels& kernels = near_kernels(P.instruction_set);
  auto near = [&] {
    if (P.single != nullptr) {
      kernels.single_near_multiply(*P.single, x, y);
    } else {
      kernels.near_multiply(P.near, x, y);
    }
  };
  P.far.add_product_together(P.degree, x, y, work, threads, P.instruction_set, near);
}

namespace {

const Lanes<kNarrowLanes> kNoRestart{};  // p = β p + z in every lane

}  // namespace

std::vector<LaneOutcome> solve_lanes(const LevelOperator& Q, const LevelOperator& P,
                                     const LevelPreconditioner& M, const Lanes<kNarrowLanes>* b,
                                     Lanes<kNarrowLanes>* x, Lanes<kNarrowLanes>* y,
                                     double tolerance, int32_t max_iterations,
                                     LaneWork& lane_work) {
  const LaneKernels<kNarrowLanes>& step_kernels = lane_kernels(Q.instruction_set).narrow;
  const int32_t n = Q.near.n;
  Lanes<kNarrowLanes>* r = lane_work.r.get();
  Lanes<kNarrowLanes>* z = lane_work.z.get();
  Lanes<kNarrowLanes>* p = lane_work.p.get();
  Lanes<kNarrowLanes>* q = lane_work.q.get();
  std::vector<LaneOutcome> outcome(kNarrowLanes);
  FarFieldWork& work = lane_work.far;
  bool active[kNarrowLanes];
  int32_t running = 0;

  apply_operator(Q, x, q, work, lane_work.threads);
  for (int32_t i = 0; i < n; ++i)
    for (int32_t w = 0; w < kNarrowLanes; ++w) r[i].lane[w] = b[i].lane[w] - q[i].lane[w];
  M.correct(x, r, lane_work.preconditioner.get());
  Lanes<kNarrowLanes> bb, rr0;
  step_kernels.dot(bb, b, b, n);
  step_kernels.dot(rr0, r, r, n);
  Lanes<kNarrowLanes> bound;  // tolerance² · |b|², the residual norm² to reach
  for (int32_t w = 0; w < kNarrowLanes; ++w) {
    bound.lane[w] = tolerance * tolerance * bb.lane[w];
    active[w] = !(rr0.lane[w] <= bound.lane[w]);
    outcome[w].converged = !active[w];
    running += active[w] ? 1 : 0;
  }
  M.apply(r, z, lane_work.preconditioner.get());
  for (int32_t i = 0; i < n; ++i) p[i] = z[i];
  Lanes<kNarrowLanes> rho;
  step_kernels.dot(rho, r, z, n);
  for (int32_t step = 0; running > 0 && step < max_iterations; ++step) {
    apply_operator(Q, p, q, work, lane_work.threads);
    Lanes<kNarrowLanes> pq;
    step_kernels.dot(pq, p, q, n);
    Lanes<kNarrowLanes> alpha{};
    for (int32_t w = 0; w < kNarrowLanes; ++w) {
      if (!active[w]) continue;
      if (!(pq.lane[w] > 0.0) || !std::isfinite(pq.lane[w])) {
        active[w] = false;  // the step has no length: this lane gives up
        --running;
        continue;
      }
      alpha.lane[w] = rho.lane[w] / pq.lane[w];
      outcome[w].iterations += 1;
    }
    Lanes<kNarrowLanes> rr;
    step_kernels.update(alpha, p, q, x, r, n);
    step_kernels.dot(rr, r, r, n);
    for (int32_t w = 0; w < kNarrowLanes; ++w) {
      if (active[w] && rr.lane[w] <= bound.lane[w]) {
        active[w] = false;
        outcome[w].converged = true;
        --running;
      }
    }
    if (running == 0) break;
    M.apply(r, z, lane_work.preconditioner.get());
    Lanes<kNarrowLanes> next_rho;
    step_kernels.dot(next_rho, r, z, n);
    Lanes<kNarrowLanes> beta{};
    for (int32_t w = 0; w < kNarrowLanes; ++w) {
      if (active[w]) beta.lane[w] = next_rho.lane[w] / rho.lane[w];
    }
    rho = next_rho;
    step_kernels.next_direction(kNoRestart, beta, p, z, n);
  }
  apply_operator(P, x, y, work, lane_work.threads);
  return outcome;
}

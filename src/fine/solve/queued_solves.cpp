#include "fine/solve/queued_solves.h"

#include <cmath>
#include <cstring>

namespace {

enum class LaneState : char {
  idle,      // no conductor left for it
  starting,  // its start was just handed to the product: r = b − Q x comes next
  running,   // conjugate-gradient steps
};

/// A lane's mask for next_direction: every bit set where p restarts as z.
double restart_bits() {
  const uint64_t all = ~uint64_t{0};
  double bits;
  std::memcpy(&bits, &all, sizeof(bits));
  return bits;
}

}  // namespace

void solve_queued_conductors(const LevelMesh& mesh, const ClusterTree& tree, const LevelOperator& Q,
                             const LevelPreconditioner& M, int32_t conductors, double tolerance,
                             int32_t max_iterations, std::atomic<int32_t>& next,
                             std::vector<double>& solution, std::vector<LaneOutcome>& outcome,
                             std::atomic<char>* finished, LaneWork& work) {
  const LaneKernels<kNarrowLanes>& kernels = lane_kernels(Q.instruction_set).narrow;
  const int32_t n = Q.near.n;
  Lanes<kNarrowLanes>* b = work.b.get();
  Lanes<kNarrowLanes>* x = work.x.get();
  Lanes<kNarrowLanes>* r = work.r.get();
  Lanes<kNarrowLanes>* z = work.z.get();
  Lanes<kNarrowLanes>* p = work.p.get();
  Lanes<kNarrowLanes>* q = work.q.get();
  int32_t conductor[kNarrowLanes];
  LaneState state[kNarrowLanes];
  Lanes<kNarrowLanes> rho{}, bound{};

  // Lane w takes the next conductor: its b, and its start in x and in p, so that the next
  // product gives Q x of the start as solve_lanes's first product does.
  auto take_next = [&](int32_t w) {
    const int32_t c = next.fetch_add(1);
    const bool some = c < conductors;
    conductor[w] = some ? c : -1;
    state[w] = some ? LaneState::starting : LaneState::idle;
    rho.lane[w] = 0.0;
    bound.lane[w] = 0.0;
    for (int32_t i = 0; i < n; ++i) {
      const int32_t panel = tree.panel[i];
      const double start = some ? solution[static_cast<size_t>(panel) * conductors + c] : 0.0;
      b[i].lane[w] = some && mesh.panels[panel].conductor == static_cast<uint32_t>(c);
      x[i].lane[w] = start;
      p[i].lane[w] = start;
      r[i].lane[w] = 0.0;
      z[i].lane[w] = 0.0;
    }
  };
  auto finish = [&](int32_t w, bool converged) {
    const int32_t c = conductor[w];
    outcome[c].converged = converged;
    for (int32_t i = 0; i < n; ++i)
      solution[static_cast<size_t>(tree.panel[i]) * conductors + c] = x[i].lane[w];
    finished[c].store(1, std::memory_order_release);
  };
  auto any_left = [&] {
    for (int32_t w = 0; w < kNarrowLanes; ++w) {
      if (state[w] != LaneState::idle) return true;
    }
    return false;
  };

  for (int32_t w = 0; w < kNarrowLanes; ++w) take_next(w);
  const double restart = restart_bits();
  while (any_left()) {
    apply_operator(Q, p, q, work.far);
    Lanes<kNarrowLanes> pq;
    kernels.dot(pq, p, q, n);
    Lanes<kNarrowLanes> alpha{};
    bool done[kNarrowLanes] = {};
    for (int32_t w = 0; w < kNarrowLanes; ++w) {
      if (state[w] != LaneState::running) continue;
      if (!(pq.lane[w] > 0.0) || !std::isfinite(pq.lane[w]) ||
          outcome[conductor[w]].iterations >= max_iterations) {
        done[w] = true;  // the step has no length, or the steps ran out: this lane gives up
        finish(w, false);
        continue;
      }
      alpha.lane[w] = rho.lane[w] / pq.lane[w];
      outcome[conductor[w]].iterations += 1;
    }
    kernels.update(alpha, p, q, x, r, n);
    bool starting = false;
    for (int32_t w = 0; w < kNarrowLanes; ++w)
      starting = starting || state[w] == LaneState::starting;
    if (starting) {
      for (int32_t i = 0; i < n; ++i) {
        for (int32_t w = 0; w < kNarrowLanes; ++w) {
          if (state[w] == LaneState::starting) r[i].lane[w] = b[i].lane[w] - q[i].lane[w];
        }
      }
    }
    Lanes<kNarrowLanes> rr, bb;
    kernels.dot(rr, r, r, n);
    if (starting) kernels.dot(bb, b, b, n);
    bool restarts[kNarrowLanes] = {};
    for (int32_t w = 0; w < kNarrowLanes; ++w) {
      if (done[w] || state[w] == LaneState::idle) continue;
      if (state[w] == LaneState::starting) {
        bound.lane[w] = tolerance * tolerance * bb.lane[w];
        restarts[w] = true;
      }
      if (rr.lane[w] <= bound.lane[w]) {
        done[w] = true;
        finish(w, true);
      }
    }
    M.apply(r, z, work.preconditioner.get());
    Lanes<kNarrowLanes> next_rho, beta{}, restart_mask{};
    kernels.dot(next_rho, r, z, n);
    for (int32_t w = 0; w < kNarrowLanes; ++w) {
      if (done[w] || state[w] == LaneState::idle) continue;
      if (restarts[w]) {
        restart_mask.lane[w] = restart;  // p = z, as a solve begins
        state[w] = LaneState::running;
      } else {
        beta.lane[w] = next_rho.lane[w] / rho.lane[w];
      }
      rho.lane[w] = next_rho.lane[w];
    }
    kernels.next_direction(restart_mask, beta, p, z, n);
    for (int32_t w = 0; w < kNarrowLanes; ++w) {
      if (done[w]) take_next(w);
    }
  }
}

// Conjugate gradients for several right-hand sides in lock-step: each lane of a group is one
// solve, stepping exactly as pcg_solve does, and a lane whose solve ends takes the next right-hand
// side at once.

#include "sparse/pcg_lanes.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstddef>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <mutex>
#include <vector>

#include "run/fatal.h"
#include "sparse/pcg_rules.h"
#include "sparse/worker_pool.h"

namespace {

constexpr int32_t kNoFailure = INT32_MAX;

// Zero-filled lanes for n unknowns, aligned to whole registers of every path.
Lanes* allocate_lanes(int32_t n) {
  const std::size_t bytes = static_cast<std::size_t>(n > 0 ? n : 1) * sizeof(Lanes);
  void* storage = std::aligned_alloc(alignof(Lanes), bytes);
  if (storage == nullptr) fail_and_exit("Not enough memory!!\n");
  std::memset(storage, 0, bytes);
  return static_cast<Lanes*>(storage);
}

// The state of one lane's solve between steps.
struct LaneState {
  int32_t rhs;         // right-hand side being solved, -1 when the lane is idle
  int32_t iterations;  // steps done for it
  bool first_step;     // the next step is the solve's first: p = z, no β
  double rho;          // r·z of the previous step
};

// The right-hand sides still to start, shared by the workers; the callbacks run one at a time.
struct SolveQueue {
  int32_t rhs_count;                                      // right-hand sides in all
  const std::function<void(int32_t, double*)>& make_rhs;  // fills one
  const std::function<void(int32_t, const double*, int32_t)>& take_solution;  // takes one
  std::mutex lock;                          // held while a callback runs or the queue moves
  int32_t next_rhs = 0;                     // the next right-hand side to start
  std::atomic<int32_t> solved{0};           // solutions taken
  std::atomic<int32_t> failed{kNoFailure};  // lowest right-hand side that gave up

  SolveQueue(int32_t count, const std::function<void(int32_t, double*)>& make,
             const std::function<void(int32_t, const double*, int32_t)>& take)
      : rhs_count(count), make_rhs(make), take_solution(take) {}
};

// The vectors of one worker. They are allocated before any worker thread starts, so that an
// allocation failure ends the run from the main thread alone.
struct LaneWorkspace {
  explicit LaneWorkspace(int32_t n)
      : xs(allocate_lanes(n)),
        rs(allocate_lanes(n)),
        zs(allocate_lanes(n)),
        ps(allocate_lanes(n)),
        qs(allocate_lanes(n)),
        vector(static_cast<double*>(calloc_or_exit(static_cast<std::size_t>(n), sizeof(double)))) {}
  LaneWorkspace(const LaneWorkspace&) = delete;
  LaneWorkspace& operator=(const LaneWorkspace&) = delete;
  ~LaneWorkspace() {
    std::free(xs);
    std::free(rs);
    std::free(zs);
    std::free(ps);
    std::free(qs);
    std::free(vector);
  }

  Lanes* xs;       // solutions
  Lanes* rs;       // residuals
  Lanes* zs;       // preconditioned residuals
  Lanes* ps;       // search directions
  Lanes* qs;       // P times the search directions
  double* vector;  // one lane's right-hand side or solution, handed to the callbacks
};

// One worker: kPcgLanes solves in flight until the queue is empty. It allocates nothing.
void solve_in_lanes(const CompactSymmetric& P, const CompactFactor& F, double tolerance,
                    const LaneKernels& kernels, SolveQueue& queue, LaneWorkspace& work) {
  const int32_t n = P.n;
  const int64_t iteration_limit = pcg_iteration_limit(n);
  Lanes* const xs = work.xs;
  Lanes* const rs = work.rs;
  Lanes* const zs = work.zs;
  Lanes* const ps = work.ps;
  Lanes* const qs = work.qs;
  double* const vector = work.vector;

  LaneState lane[kPcgLanes];
  // Starts the next right-hand side in lane l, or leaves it idle on zeros. From x = 0, P·x skips
  // every product and stays 0.0, so the first residual is b - 0.0 = b exactly.
  auto start = [&](int32_t l) {
    lane[l] = LaneState{-1, 0, true, 0.0};
    for (int32_t i = 0; i < n; ++i) xs[i].lane[l] = 0.0;
    {
      std::lock_guard<std::mutex> hold(queue.lock);
      if (queue.next_rhs < queue.rhs_count && queue.next_rhs < queue.failed) {
        lane[l].rhs = queue.next_rhs++;
        queue.make_rhs(lane[l].rhs, vector);
      }
    }
    for (int32_t i = 0; i < n; ++i) rs[i].lane[l] = lane[l].rhs >= 0 ? vector[i] : 0.0;
  };
  auto finish = [&](int32_t l, int32_t iterations) {
    if (iterations >= 0) {
      for (int32_t i = 0; i < n; ++i) vector[i] = xs[i].lane[l];
      std::lock_guard<std::mutex> hold(queue.lock);
      // A solution above a failure is never taken: the run stops at the failure.
      if (lane[l].rhs < queue.failed) {
        queue.take_solution(lane[l].rhs, vector, iterations);
        ++queue.solved;
      }
    } else {
      std::lock_guard<std::mutex> hold(queue.lock);
      if (lane[l].rhs < queue.failed) queue.failed = lane[l].rhs;
    }
    start(l);
  };
  for (int32_t l = 0; l < kPcgLanes; ++l) start(l);

  // Each pass is one step of every busy lane. Idle lanes compute on zeros that nobody reads.
  for (;;) {
    bool busy = false;
    for (int32_t l = 0; l < kPcgLanes; ++l) busy = busy || lane[l].rhs >= 0;
    if (!busy) break;

    kernels.solve_factored(F, zs, rs);
    Lanes rz;
    kernels.dot(rz, rs, zs, n);
    Lanes restart;
    Lanes beta;
    for (int32_t l = 0; l < kPcgLanes; ++l) {
      const int64_t all_ones = -1;
      double mask = 0.0;
      if (lane[l].first_step) std::memcpy(&mask, &all_ones, sizeof(double));
      restart.lane[l] = mask;
      beta.lane[l] = lane[l].first_step ? 0.0 : rz.lane[l] / lane[l].rho;
    }
    kernels.next_direction(restart, beta, ps, zs, n);
    kernels.multiply(P, qs, ps);
    Lanes pq;
    kernels.dot(pq, ps, qs, n);
    Lanes alpha;
    for (int32_t l = 0; l < kPcgLanes; ++l) {
      alpha.lane[l] = rz.lane[l] / pq.lane[l];
      lane[l].rho = rz.lane[l];
      lane[l].first_step = false;
      lane[l].iterations += 1;
    }
    kernels.update(alpha, ps, qs, xs, rs, n);

    Lanes rr;
    kernels.dot(rr, rs, rs, n);
    const int32_t failed = queue.failed;
    for (int32_t l = 0; l < kPcgLanes; ++l) {
      if (lane[l].rhs < 0) continue;
      if (lane[l].rhs > failed) {
        start(l);  // abandoned: a lower-numbered solve gave up
        continue;
      }
      // A step length that does not exist ends the solve before its update counts; the update
      // above only touched this lane's own values, which are dropped.
      if (is_breakdown(pq.lane[l])) {
        finish(l, -1);
        continue;
      }
      const double residual_norm = std::sqrt(rr.lane[l]);
      if (residual_norm < tolerance) {
        finish(l, lane[l].iterations);
      } else if (std::isnan(residual_norm) || lane[l].iterations >= iteration_limit) {
        finish(l, -1);
      }
    }
  }
}

}  // namespace

int32_t pcg_solve_lanes(const CompactSymmetric& P, const CompactFactor& F, int32_t rhs_count,
                        const std::function<void(int32_t, double*)>& make_rhs,
                        const std::function<void(int32_t, const double*, int32_t)>& take_solution,
                        double tolerance, const LaneSolveSettings& settings) {
  SolveQueue queue(rhs_count, make_rhs, take_solution);
  // More workers than groups of lanes would only add idle lanes.
  const int32_t groups = (rhs_count + kPcgLanes - 1) / kPcgLanes;
  const int32_t workers = std::max(1, std::min(settings.thread_count, groups));
  std::vector<std::unique_ptr<LaneWorkspace>> work;
  for (int32_t t = 0; t < workers; ++t) work.push_back(std::make_unique<LaneWorkspace>(P.n));
  const LaneKernels& kernels = lane_kernels(settings.instruction_set);

  run_workers(
      workers, [&](int32_t t) { solve_in_lanes(P, F, tolerance, kernels, queue, *work[t]); },
      [&] {
        if (settings.progress) settings.progress(queue.solved);
      },
      250);
  return queue.failed == kNoFailure ? -1 : queue.failed.load();
}

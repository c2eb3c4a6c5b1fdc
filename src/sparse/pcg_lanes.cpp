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

#include "common/fatal.h"
#include "common/worker_pool.h"
#include "sparse/lane_kernels.h"
#include "sparse/pcg_rules.h"

namespace {

constexpr int32_t kNoFailure = INT32_MAX;

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
  const std::function<int32_t()>& claim;    // hands out the right-hand sides, if set
  std::atomic<int32_t>* lowest_failure;     // failures known elsewhere, if set
  std::mutex lock;                          // held while a callback runs or the queue moves
  int32_t next_rhs = 0;                     // the next right-hand side to start, without `claim`
  bool claims_over = false;                 // `claim` has said that none is left
  std::atomic<int32_t> solved{0};           // solutions taken
  std::atomic<int32_t> failed{kNoFailure};  // lowest right-hand side that gave up here

  SolveQueue(int32_t count, const std::function<void(int32_t, double*)>& make,
             const std::function<void(int32_t, const double*, int32_t)>& take,
             const LaneSolveSettings& settings)
      : rhs_count(count),
        make_rhs(make),
        take_solution(take),
        claim(settings.claim),
        lowest_failure(settings.lowest_failure) {}

  // No solve above this one is wanted: the lowest failure here or known elsewhere.
  int32_t stop_above() const {
    const int32_t here = failed;
    return lowest_failure == nullptr ? here : std::min(here, lowest_failure->load());
  }

  // Records that right-hand side `rhs` gave up; called under the lock.
  void give_up(int32_t rhs) {
    if (rhs < failed) failed = rhs;
    if (lowest_failure == nullptr) return;
    lower_failure_to(*lowest_failure, rhs);
  }

  // The next right-hand side to start, or -1; called under the lock. Once one has given up,
  // nothing more is started above it; claims come in ascending order, so a claim above it ends
  // them.
  int32_t next() {
    const int32_t bound = stop_above();
    if (!claim) return next_rhs < rhs_count && next_rhs < bound ? next_rhs++ : -1;
    if (claims_over || failed != kNoFailure || bound < 0) return -1;
    const int32_t rhs = claim();
    claims_over = rhs < 0 || rhs > bound;
    return claims_over ? -1 : rhs;
  }

  // No solve is left to start.
  bool drained() {
    std::lock_guard<std::mutex> hold(lock);
    const int32_t bound = stop_above();
    if (claim) return claims_over || failed != kNoFailure || bound < 0;
    return next_rhs >= rhs_count || next_rhs >= bound;
  }
};

// Zero-filled storage for n unknowns of a group of `width` lanes, aligned to whole registers of
// every path.
double* allocate_group_vector(int32_t n, int32_t width) {
  const std::size_t used =
      static_cast<std::size_t>(n > 0 ? n : 1) * static_cast<std::size_t>(width) * sizeof(double);
  const std::size_t bytes = (used + 63) / 64 * 64;  // aligned_alloc takes whole alignments
  void* storage = std::aligned_alloc(64, bytes);
  if (storage == nullptr) fail_and_exit("Not enough memory!!\n");
  std::memset(storage, 0, bytes);
  return static_cast<double*>(storage);
}

// The vectors of one worker, sized for its widest group; a narrower group reuses them. They are
// allocated before any worker thread starts, so that an allocation failure ends the run from the
// main thread alone.
struct LaneWorkspace {
  LaneWorkspace(int32_t n, int32_t width)
      : width(width),
        xs(allocate_group_vector(n, width)),
        rs(allocate_group_vector(n, width)),
        zs(allocate_group_vector(n, width)),
        ps(allocate_group_vector(n, width)),
        qs(allocate_group_vector(n, width)),
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

  int32_t width;               // lanes of the widest group the vectors hold
  double* xs;                  // solutions
  double* rs;                  // residuals
  double* zs;                  // preconditioned residuals
  double* ps;                  // search directions
  double* qs;                  // P times the search directions
  double* vector;              // one lane's right-hand side or solution, handed to the callbacks
  LaneState lane[kWideLanes];  // the solve of each lane
};

// Moves the busy lanes of a group of `from` lanes into the first lanes of a group of `to` lanes,
// in place: the values a solve carries from one step to the next are x, r and p (z and q are
// recomputed from them), and its LaneState.
void narrow_group(LaneWorkspace& work, int32_t n, int32_t from, int32_t to) {
  int32_t source[kWideLanes];
  int32_t busy = 0;
  for (int32_t l = 0; l < from; ++l) {
    if (work.lane[l].rhs >= 0) source[busy++] = l;
  }
  for (double* v : {work.xs, work.rs, work.ps}) {
    // Unknown i moves from offset i·from to i·to, never past values still to be read.
    for (int64_t i = 0; i < n; ++i) {
      double values[kWideLanes] = {};
      for (int32_t b = 0; b < busy; ++b) values[b] = v[i * from + source[b]];
      std::memcpy(v + i * to, values, static_cast<std::size_t>(to) * sizeof(double));
    }
  }
  for (int32_t b = 0; b < busy; ++b) work.lane[b] = work.lane[source[b]];
  for (int32_t l = busy; l < to; ++l) work.lane[l] = LaneState{-1, 0, true, 0.0};
}

// Runs the worker's group with L lanes until no solve is left, or, once the queue is drained,
// until its busy lanes fit the next narrower group; returns the width to go on with (0: done).
// Solves already in the lanes (after narrowing) go on where they were.
template <int32_t L>
int32_t solve_in_group(const LaneMatrices& matrices, double tolerance,
                       const LaneKernels<L>& kernels, SolveQueue& queue, LaneWorkspace& work,
                       bool fresh) {
  const int32_t n = matrices.P->n;
  const int64_t iteration_limit = pcg_iteration_limit(n);
  Lanes<L>* const xs = reinterpret_cast<Lanes<L>*>(work.xs);
  Lanes<L>* const rs = reinterpret_cast<Lanes<L>*>(work.rs);
  Lanes<L>* const zs = reinterpret_cast<Lanes<L>*>(work.zs);
  Lanes<L>* const ps = reinterpret_cast<Lanes<L>*>(work.ps);
  Lanes<L>* const qs = reinterpret_cast<Lanes<L>*>(work.qs);
  double* const vector = work.vector;
  LaneState* const lane = work.lane;

  // Starts the next right-hand side in lane l, or leaves it idle on zeros. From x = 0, P·x skips
  // every product and stays 0.0, so the first residual is b - 0.0 = b exactly.
  auto start = [&](int32_t l) {
    lane[l] = LaneState{-1, 0, true, 0.0};
    for (int32_t i = 0; i < n; ++i) xs[i].lane[l] = 0.0;
    {
      std::lock_guard<std::mutex> hold(queue.lock);
      const int32_t rhs = queue.next();
      if (rhs >= 0) {
        lane[l].rhs = rhs;
        queue.make_rhs(rhs, vector);
      }
    }
    for (int32_t i = 0; i < n; ++i) rs[i].lane[l] = lane[l].rhs >= 0 ? vector[i] : 0.0;
  };
  auto finish = [&](int32_t l, int32_t iterations) {
    if (iterations >= 0) {
      for (int32_t i = 0; i < n; ++i) vector[i] = xs[i].lane[l];
      std::lock_guard<std::mutex> hold(queue.lock);
      // A solution above a failure is never taken: the run stops at the failure.
      if (lane[l].rhs < queue.stop_above()) {
        queue.take_solution(lane[l].rhs, vector, iterations);
        ++queue.solved;
      }
    } else {
      std::lock_guard<std::mutex> hold(queue.lock);
      queue.give_up(lane[l].rhs);
    }
    start(l);
  };
  if (fresh) {
    for (int32_t l = 0; l < L; ++l) start(l);
  }

  // Each pass is one step of every busy lane. Idle lanes compute on zeros that nobody reads.
  for (;;) {
    int32_t busy = 0;
    for (int32_t l = 0; l < L; ++l) busy += lane[l].rhs >= 0 ? 1 : 0;
    if (busy == 0) return 0;
    if (L > kQuarterLanes && busy <= L / 2 && queue.drained()) return L / 2;

    kernels.solve_factored(matrices, zs, rs);
    Lanes<L> rz;
    kernels.dot(rz, rs, zs, n);
    Lanes<L> restart;
    Lanes<L> beta;
    for (int32_t l = 0; l < L; ++l) {
      const int64_t all_ones = -1;
      double mask = 0.0;
      if (lane[l].first_step) std::memcpy(&mask, &all_ones, sizeof(double));
      restart.lane[l] = mask;
      beta.lane[l] = lane[l].first_step ? 0.0 : rz.lane[l] / lane[l].rho;
    }
    kernels.next_direction(restart, beta, ps, zs, n);
    kernels.multiply(matrices, qs, ps);
    Lanes<L> pq;
    kernels.dot(pq, ps, qs, n);
    Lanes<L> alpha;
    for (int32_t l = 0; l < L; ++l) {
      alpha.lane[l] = rz.lane[l] / pq.lane[l];
      lane[l].rho = rz.lane[l];
      lane[l].first_step = false;
      lane[l].iterations += 1;
    }
    kernels.update(alpha, ps, qs, xs, rs, n);

    Lanes<L> rr;
    kernels.dot(rr, rs, rs, n);
    const int32_t stop_above = queue.stop_above();
    for (int32_t l = 0; l < L; ++l) {
      if (lane[l].rhs < 0) continue;
      if (lane[l].rhs > stop_above) {
        start(l);  // abandoned: a lower-numbered solve gave up, or every solve is to stop
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

// The matrices for groups of each width: gathered sums where the group's vectors are larger than
// the cache, the flat copies alone where they fit.
struct MatricesByWidth {
  LaneMatrices quarter;  // for groups of kQuarterLanes
  LaneMatrices narrow;   // kNarrowLanes
  LaneMatrices wide;     // kWideLanes
};

// One worker: a group as wide as its workspace while the queue lasts, narrowing as the last
// solves run out. It allocates nothing.
void solve_in_lanes(const MatricesByWidth& matrices, double tolerance, const LaneKernelSet& kernels,
                    SolveQueue& queue, LaneWorkspace& work) {
  int32_t width = work.width;
  bool fresh = true;
  while (width != 0) {
    int32_t next = 0;
    if (width == kWideLanes) {
      next = solve_in_group(matrices.wide, tolerance, kernels.wide, queue, work, fresh);
    } else if (width == kNarrowLanes) {
      next = solve_in_group(matrices.narrow, tolerance, kernels.narrow, queue, work, fresh);
    } else {
      next = solve_in_group(matrices.quarter, tolerance, kernels.quarter, queue, work, fresh);
    }
    if (next != 0) narrow_group(work, matrices.wide.P->n, width, next);
    width = next;
    fresh = false;
  }
}

}  // namespace

int32_t lane_group_width(int32_t rhs_count, int32_t workers) {
  const int32_t share = (rhs_count + workers - 1) / workers;
  for (int32_t width : {kQuarterLanes, kNarrowLanes}) {
    if (share <= width) return width;
  }
  return kWideLanes;
}

int32_t pcg_solve_lanes(const CompactSymmetric& P, const CompactFactor& F, int32_t rhs_count,
                        const std::function<void(int32_t, double*)>& make_rhs,
                        const std::function<void(int32_t, const double*, int32_t)>& take_solution,
                        double tolerance, const LaneSolveSettings& settings) {
  SolveQueue queue(rhs_count, make_rhs, take_solution, settings);
  // More workers than the narrowest groups of lanes would only add idle lanes.
  const int32_t groups = (rhs_count + kQuarterLanes - 1) / kQuarterLanes;
  const int32_t workers = std::max(1, std::min(settings.thread_count, groups));
  const int32_t width = std::min({lane_group_width(rhs_count, workers), settings.widest_group,
                                  widest_group_for(settings.instruction_set)});
  std::vector<std::unique_ptr<LaneWorkspace>> work;
  for (int32_t t = 0; t < workers; ++t) {
    work.push_back(std::make_unique<LaneWorkspace>(P.n, width));
  }
  const LaneKernelSet& kernels = lane_kernels(settings.instruction_set);

  // A group gathers its sums when its vectors exceed the cache several times over (measured: at
  // twice the second-level cache both forms take the same time); the blocks are sized for the
  // widest group, and serve the narrower ones too.
  const int64_t cache = second_level_cache_bytes();
  const int64_t gather_above = settings.gather_above_bytes >= 0
                                   ? settings.gather_above_bytes
                                   : 4 * (cache > 0 ? cache : kAssumedCacheBytes);
  auto gathers = [&](int32_t lanes) {
    return int64_t{P.n} * lanes * static_cast<int64_t>(sizeof(double)) > gather_above;
  };
  std::unique_ptr<BlockedSums> product;
  std::unique_ptr<BlockedSums> forward;
  if (gathers(width)) {
    const int32_t block_columns = settings.block_columns > 0
                                      ? settings.block_columns
                                      : cache_block_columns(P.n, width, cache);
    // On the calling thread, as the workspaces: running out of memory ends the run from there.
    product = blocked_product(P, block_columns);
    forward = blocked_forward(F, block_columns);
  }
  auto matrices_for = [&](int32_t lanes) {
    return gathers(lanes) && product ? LaneMatrices{&P, &F, product.get(), forward.get()}
                                     : LaneMatrices{&P, &F, nullptr, nullptr};
  };
  const MatricesByWidth matrices{matrices_for(kQuarterLanes), matrices_for(kNarrowLanes),
                                 matrices_for(kWideLanes)};

  run_workers(
      workers, [&](int32_t t) { solve_in_lanes(matrices, tolerance, kernels, queue, *work[t]); },
      [&] {
        if (settings.progress) settings.progress(queue.solved);
      },
      settings.progress_milliseconds);
  return queue.failed == kNoFailure ? -1 : queue.failed.load();
}

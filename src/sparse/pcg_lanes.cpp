// Conjugate gradients for several right-hand sides in lock-step: each lane of a group is one
// solve, stepping exactly as pcg_solve does, and a lane whose solve ends takes the next right-hand
// side at once. Once there are fewer groups than threads, the threads without a group of their
// own share the steps of those that remain (solve_teams.h).

#include "sparse/pcg_lanes.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

#include "common/worker_pool.h"
#include "sparse/group_step.h"
#include "sparse/instruction_set.h"
#include "sparse/parked_solves.h"
#include "sparse/pcg_rules.h"
#include "sparse/solve_queue.h"
#include "sparse/solve_teams.h"
#include "sparse/split_plan.h"

namespace {

// Runs group g with `width` lanes until no solve is left, or, once the queue is drained, until
// its busy lanes fit the next narrower group; returns the width to go on with (0: done). Solves
// already in the lanes (after narrowing) go on where they were.
int32_t solve_in_group(int32_t width, double tolerance, SolveQueue& queue, TeamBoard& board,
                       int32_t g, bool fresh) {
  LaneWorkspace& work = *board.team(g).step.work;
  const int64_t n = work.n;
  const int64_t iteration_limit = pcg_iteration_limit(work.n);
  LaneState* const lane = work.lane;
  auto at = [&](double* v, int64_t i, int32_t l) -> double& { return v[i * width + l]; };

  // Starts the next right-hand side in lane l, takes up a solve set aside, or leaves the lane
  // idle on zeros. From x = 0, P·x skips every product and stays 0.0, so the first residual is
  // b - 0.0 = b exactly.
  auto start = [&](int32_t l) {
    lane[l] = fresh_lane(-1);
    SolveStart next;
    {
      std::lock_guard<std::mutex> hold(queue.lock);
      next = queue.next();
      if (next.rhs >= 0) {
        lane[l].rhs = next.rhs;
        queue.make_rhs(next.rhs, work.vector);
      }
    }
    if (next.parked >= 0) {
      queue.parked.load(next.parked, work, width, l);
      std::lock_guard<std::mutex> hold(queue.lock);
      queue.parked.release(next.parked);
      return;
    }
    for (int64_t i = 0; i < n; ++i) {
      at(work.xs, i, l) = 0.0;
      at(work.rs, i, l) = lane[l].rhs >= 0 ? work.vector[i] : 0.0;
    }
  };
  // Sets lane l's solve aside, after its first steps, while right-hand sides wait to start.
  auto set_aside = [&](int32_t l) {
    int32_t slot;
    {
      std::lock_guard<std::mutex> hold(queue.lock);
      slot = queue.park_slot();
    }
    if (slot < 0) return;
    queue.parked.store(slot, work, width, l);
    {
      std::lock_guard<std::mutex> hold(queue.lock);
      queue.parked.publish(slot);
    }
    start(l);
  };
  auto finish = [&](int32_t l, int32_t iterations) {
    if (iterations >= 0) {
      for (int64_t i = 0; i < n; ++i) work.vector[i] = at(work.xs, i, l);
      std::lock_guard<std::mutex> hold(queue.lock);
      // A solution above a failure is never taken: the run stops at the failure.
      if (lane[l].rhs < queue.stop_above()) {
        queue.take_solution(lane[l].rhs, work.vector, iterations);
        ++queue.solved;
      }
    } else {
      std::lock_guard<std::mutex> hold(queue.lock);
      queue.give_up(lane[l].rhs);
    }
    start(l);
  };
  if (fresh) {
    for (int32_t l = 0; l < width; ++l) start(l);
  }

  // Each pass is one step of every busy lane. Idle lanes compute on zeros that nobody reads.
  for (;;) {
    int32_t busy = 0;
    for (int32_t l = 0; l < width; ++l) busy += lane[l].rhs >= 0 ? 1 : 0;
    if (busy == 0) return 0;
    if (width > kQuarterLanes && busy <= width / 2 && queue.drained()) return width / 2;

    double rz[kWideLanes];
    double pq[kWideLanes];
    double rr[kWideLanes];
    board.run_step(g, width, rz, pq, rr);
    for (int32_t l = 0; l < width; ++l) {
      lane[l].rho = rz[l];
      lane[l].first_step = false;
      lane[l].iterations += 1;
    }
    const int32_t stop_above = queue.stop_above();
    for (int32_t l = 0; l < width; ++l) {
      if (lane[l].rhs < 0) continue;
      if (lane[l].rhs > stop_above) {
        start(l);  // abandoned: a lower-numbered solve gave up, or every solve is to stop
        continue;
      }
      // A step length that does not exist ends the solve before its update counts; the update
      // only touched this lane's own values, which are dropped.
      if (is_breakdown(pq[l])) {
        finish(l, -1);
        continue;
      }
      const double residual_norm = std::sqrt(rr[l]);
      lane[l].least_residual = std::min(lane[l].least_residual, residual_norm);
      if (residual_norm < tolerance) {
        finish(l, lane[l].iterations);
      } else if (std::isnan(residual_norm) || lane[l].iterations >= iteration_limit) {
        finish(l, -1);
      } else if (lane[l].iterations == kFirstSteps) {
        set_aside(l);
      }
    }
  }
}

// The owner of group g: a group as wide as its workspace while the queue lasts, narrowing as the
// last solves run out. It allocates nothing.
void solve_in_lanes(double tolerance, SolveQueue& queue, TeamBoard& board, int32_t g) {
  LaneWorkspace& work = *board.team(g).step.work;
  int32_t width = work.width;
  bool fresh = true;
  while (width != 0) {
    const int32_t next = solve_in_group(width, tolerance, queue, board, g, fresh);
    if (next != 0) narrow_group(work, width, next);
    width = next;
    fresh = false;
  }
}

// The gathered sums of the product and the forward substitution for groups whose vectors are
// larger than the cache, and the splits of a step where threads may share one.
struct SolveMatrices {
  std::unique_ptr<BlockedSums> product;  // P gathered by rows of y, or null
  std::unique_ptr<BlockedSums> forward;  // the forward substitution gathered, or null
  std::unique_ptr<SplitPlans> plans;     // the splits by team size, or null: never split
  MatricesByWidth by_width;              // what each group width takes
};

// Built on the calling thread, as the workspaces: running out of memory ends the run from there.
void prepare_matrices(const CompactSymmetric& P, const CompactFactor& F, int32_t width,
                      const LaneSolveSettings& settings, SolveMatrices& matrices) {
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
  const int32_t block_columns =
      settings.block_columns > 0 ? settings.block_columns : cache_block_columns(P.n, width, cache);
  if (gathers(width)) {
    matrices.product = blocked_product(P, block_columns);
    matrices.forward = blocked_forward(F, block_columns);
  }
  auto for_width = [&](int32_t lanes) {
    return gathers(lanes) && matrices.product
               ? LaneMatrices{&P, &F, matrices.product.get(), matrices.forward.get()}
               : LaneMatrices{&P, &F, nullptr, nullptr};
  };
  matrices.by_width =
      MatricesByWidth{for_width(kQuarterLanes), for_width(kNarrowLanes), for_width(kWideLanes)};

  // A step is worth splitting when its terms far outweigh the few waits of a split step.
  const int64_t entries = P.row_start[P.n] + F.row_start[F.n];
  const int64_t split_above =
      settings.split_above_entries >= 0 ? settings.split_above_entries : kSplitAboveEntries;
  if (settings.thread_count < 2 || entries <= split_above) return;
  matrices.plans =
      std::make_unique<SplitPlans>(P, F, std::min(settings.thread_count, kLargestTeam));
}

// Room to set aside the right-hand sides that do not find a lane at the start, as long as that
// takes no more memory than the flat copies of P and its factor. Claimed right-hand sides come
// in the order of whoever hands them out, and are never set aside.
int32_t parking_slots(const CompactSymmetric& P, const CompactFactor& F, int32_t waiting,
                      const LaneSolveSettings& settings) {
  if (settings.claim || waiting <= 0) return 0;
  const int64_t matrix_bytes = (P.row_start[P.n] + F.row_start[F.n]) * 12 + int64_t{P.n} * 24;
  const int64_t solve_bytes = int64_t{3} * P.n * static_cast<int64_t>(sizeof(double));
  return static_cast<int32_t>(std::min<int64_t>(waiting, matrix_bytes / solve_bytes));
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
  // More groups than the narrowest groups of lanes would only add idle lanes.
  const int32_t groups =
      std::max(1, std::min(settings.thread_count, (rhs_count + kQuarterLanes - 1) / kQuarterLanes));
  const int32_t width = std::min({lane_group_width(rhs_count, groups), settings.widest_group,
                                  widest_group_for(settings.instruction_set)});
  ParkedSolves parked(P.n, parking_slots(P, F, rhs_count - groups * width, settings));
  SolveQueue queue(rhs_count, make_rhs, take_solution, settings, parked);
  SolveMatrices matrices;
  prepare_matrices(P, F, width, settings, matrices);
  const int32_t largest_team = matrices.plans ? matrices.plans->largest_team : 1;
  TeamBoard board(groups, largest_team);
  std::vector<std::unique_ptr<LaneWorkspace>> work;
  for (int32_t g = 0; g < groups; ++g) {
    work.push_back(std::make_unique<LaneWorkspace>(P.n, width));
    GroupStep& step = board.team(g).step;
    step.kernels = &lane_kernels(settings.instruction_set);
    step.matrices = &matrices.by_width;
    step.plans = matrices.plans.get();
    step.work = work.back().get();
    board.team(g).pace.always = settings.split_every_step;
  }

  // Threads beyond the groups only ever help, as many as the teams can take.
  const int32_t threads = std::min(settings.thread_count, groups * largest_team);
  run_workers(
      threads,
      [&](int32_t) {
        const int32_t g = board.enter();
        if (g >= 0) {
          solve_in_lanes(tolerance, queue, board, g);
          const int32_t running = board.end(g);
          if (settings.group_ended) settings.group_ended(running);
        }
        board.help();
      },
      [&] {
        if (settings.progress) settings.progress(queue.solved);
      },
      settings.progress_milliseconds);
  return queue.failed == SolveQueue::kNoFailure ? -1 : queue.failed.load();
}

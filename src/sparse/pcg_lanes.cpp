// Conjugate gradients for several right-hand sides in lock-step: each lane of a group is one
// solve, stepping exactly as pcg_solve does, and a lane whose solve ends takes the next right-hand
// side at once. Once there are fewer groups than threads, the threads without a group of their
// own share the steps of those that remain (solve_teams.h).

#include "sparse/pcg_lanes.h"

#include <algorithm>
#include <cstdint>
#include <memory>
#include <vector>

#include "common/worker_pool.h"
#include "sparse/group_step.h"
#include "sparse/lane_group.h"
#include "sparse/lane_kernels.h"
#include "sparse/parked_solves.h"
#include "sparse/solve_queue.h"
#include "sparse/solve_teams.h"
#include "sparse/split_plan.h"

namespace {

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
  if (settings.thread_count < 2 || entries <= split_above || settings.every_group_alone) return;
  matrices.plans = std::make_unique<SplitPlans>(P, std::min(settings.thread_count, kLargestTeam));
}

// Room to set aside the right-hand sides that do not find a lane at the start, as long as that
// takes no more memory than the flat copies of P and its factor. Claimed right-hand sides come
// in the order of whoever hands them out, and are never set aside.
int32_t parking_slots(const CompactSymmetric& P, const CompactFactor& F, int32_t waiting,
                      const LaneSolveSettings& settings) {
  if (settings.claim || settings.every_group_alone || waiting <= 0) return 0;
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
  // Threads beyond the groups only ever help, as many as the teams can take.
  const int32_t threads = std::min(settings.thread_count, groups * largest_team);
  TeamBoard board(groups, threads, largest_team);
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

  run_workers(
      threads,
      [&](int32_t) {
        const int32_t g = board.enter();
        if (g >= 0) {
          if (settings.split_every_step) board.wait_until_settled();
          LaneGroup(board, g, queue, tolerance, !settings.every_group_alone).run();
          const int32_t running = board.end(g);
          if (settings.group_ended) settings.group_ended(running);
        }
        board.help(g < 0);
      },
      [&] {
        if (settings.progress) settings.progress(queue.solved);
      },
      settings.progress_milliseconds);
  return queue.failed == SolveQueue::kNoFailure ? -1 : queue.failed.load();
}

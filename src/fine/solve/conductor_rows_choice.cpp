#include "fine/solve/conductor_rows_choice.h"

#include <algorithm>
#include <memory>

#include "fine/solve/lane_gmres.h"

namespace {

typedef Lanes<kNarrowLanes> L;

/// Each lane's residual norm after `steps` GMRES products on b from `start` under M; x is where
/// they end.
std::vector<LaneOutcome> residual_after(const GeneralSystem& A, int32_t degree, const L* b,
                                        const L* start, const BlockPreconditioner& M, int32_t steps,
                                        GmresWork& work, L* x) {
  const int32_t n = A.near.n;
  for (int32_t i = 0; i < n; ++i) x[i] = start[i];
  const double bound[kNarrowLanes] = {};  // no lane stops before the trial's steps are done
  return gmres_lanes(A, degree, M, b, x, bound, steps, work);
}

/// The largest of the lanes' residuals after the trial relative to the same lane's before it;
/// lanes with no residual to start with do not count.
double largest_reduction(const std::vector<LaneOutcome>& before,
                         const std::vector<LaneOutcome>& after) {
  double largest = 0.0;
  for (int32_t w = 0; w < kNarrowLanes; ++w) {
    if (before[w].residual > 0.0)
      largest = std::max(largest, after[w].residual / before[w].residual);
  }
  return largest;
}

}  // namespace

void choose_conductor_rows(const GeneralSystem& A, int32_t degree, const L* b, L* start,
                           BlockPreconditioner& M, int32_t threads) {
  if (!M.use_blocks || !M.factor.made) return;
  const int32_t n = A.near.n;
  GmresWork work(A.far, n, static_cast<int32_t>(M.conductor_at.size()), kConductorRowsTrialSteps);
  work.threads = threads;
  std::unique_ptr<L[]> x_blocks(new L[n]), x_factor(new L[n]);
  const std::vector<LaneOutcome> before =
      residual_after(A, degree, b, start, M, 0, work, x_blocks.get());
  const double with_blocks = largest_reduction(
      before,
      residual_after(A, degree, b, start, M, kConductorRowsTrialSteps, work, x_blocks.get()));
  M.use_blocks = false;
  const double with_factor = largest_reduction(
      before,
      residual_after(A, degree, b, start, M, kConductorRowsTrialSteps, work, x_factor.get()));
  M.use_blocks = !(with_factor < with_blocks);
  const L* kept = M.use_blocks ? x_blocks.get() : x_factor.get();
  for (int32_t i = 0; i < n; ++i) start[i] = kept[i];
  if (M.use_blocks) {
    M.factor = IncompleteFactor{};
  } else {
    M.blocks = LeafBlocks{};
  }
}

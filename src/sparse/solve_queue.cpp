#include "sparse/solve_queue.h"

#include <algorithm>

SolveQueue::SolveQueue(int32_t count, const std::function<void(int32_t, double*)>& make,
                       const std::function<void(int32_t, const double*, int32_t)>& take,
                       const LaneSolveSettings& settings, ParkedSolves& parking)
    : rhs_count(count),
      make_rhs(make),
      take_solution(take),
      claim(settings.claim),
      lowest_failure(settings.lowest_failure),
      parked(parking) {}

int32_t SolveQueue::stop_above() const {
  const int32_t here = failed;
  return lowest_failure == nullptr ? here : std::min(here, lowest_failure->load());
}

void SolveQueue::give_up(int32_t rhs) {
  if (rhs < failed) failed = rhs;
  if (lowest_failure == nullptr) return;
  lower_failure_to(*lowest_failure, rhs);
}

SolveStart SolveQueue::next() {
  const int32_t bound = stop_above();
  SolveStart start;
  if (claim) {
    if (claims_over || failed != kNoFailure || bound < 0) return start;
    const int32_t rhs = claim();
    claims_over = rhs < 0 || rhs > bound;
    if (!claims_over) start.rhs = rhs;
    return start;
  }
  if (next_rhs < rhs_count && next_rhs < bound) {
    start.rhs = next_rhs++;
    return start;
  }
  start.parked = parked.take_longest(bound);
  return start;
}

int32_t SolveQueue::park_slot() {
  if (claim || next_rhs >= rhs_count || next_rhs >= stop_above()) return -1;
  return parked.reserve();
}

bool SolveQueue::drained() {
  std::lock_guard<std::mutex> hold(lock);
  const int32_t bound = stop_above();
  if (claim) return claims_over || failed != kNoFailure || bound < 0;
  return (next_rhs >= rhs_count || next_rhs >= bound) && !parked.waiting_below(bound);
}

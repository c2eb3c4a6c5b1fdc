#include "sparse/lane_group.h"

#include <algorithm>
#include <cmath>
#include <mutex>

#include "sparse/pcg_rules.h"
#include "sparse/team_sync.h"

LaneGroup::LaneGroup(TeamBoard& board, int32_t g, SolveQueue& queue, double tolerance,
                     bool hands_over)
    : board_(board),
      g_(g),
      queue_(queue),
      tolerance_(tolerance),
      work_(*board.team(g).step.work),
      width_(work_.width),
      iteration_limit_(pcg_iteration_limit(work_.n)),
      hands_over_(hands_over) {}

void LaneGroup::start(int32_t l) {
  // From x = 0, P·x skips every product and stays 0.0, so the first residual is b - 0.0 = b
  // exactly. An idle lane computes on zeros that nobody reads.
  work_.lane[l] = fresh_lane(-1);
  SolveStart next;
  {
    std::lock_guard<std::mutex> hold(queue_.lock);
    next = queue_.next();
    if (next.rhs >= 0) {
      work_.lane[l].rhs = next.rhs;
      queue_.make_rhs(next.rhs, work_.vector);
    }
  }
  if (next.parked >= 0) {
    queue_.parked.load(next.parked, work_, width_, l);
    std::lock_guard<std::mutex> hold(queue_.lock);
    queue_.parked.release(next.parked);
    return;
  }
  for (int64_t i = 0; i < work_.n; ++i) {
    at(work_.xs, i, l) = 0.0;
    at(work_.rs, i, l) = work_.lane[l].rhs >= 0 ? work_.vector[i] : 0.0;
  }
}

void LaneGroup::set_aside(int32_t l) {
  int32_t slot;
  {
    std::lock_guard<std::mutex> hold(queue_.lock);
    slot = queue_.park_slot();
  }
  if (slot < 0) return;
  queue_.parked.store(slot, work_, width_, l);
  {
    std::lock_guard<std::mutex> hold(queue_.lock);
    queue_.parked.publish(slot);
  }
  start(l);
}

void LaneGroup::finish(int32_t l, int32_t iterations) {
  if (iterations >= 0) {
    for (int64_t i = 0; i < work_.n; ++i) work_.vector[i] = at(work_.xs, i, l);
    std::lock_guard<std::mutex> hold(queue_.lock);
    // A solution above a failure is never taken: the run stops at the failure.
    if (work_.lane[l].rhs < queue_.stop_above()) {
      queue_.take_solution(work_.lane[l].rhs, work_.vector, iterations);
      ++queue_.solved;
    }
  } else {
    std::lock_guard<std::mutex> hold(queue_.lock);
    queue_.give_up(work_.lane[l].rhs);
  }
  start(l);
}

void LaneGroup::step() {
  double rz[kWideLanes];
  double pq[kWideLanes];
  double rr[kWideLanes];
  board_.run_step(g_, width_, rz, pq, rr);
  LaneState* const lane = work_.lane;
  for (int32_t l = 0; l < width_; ++l) {
    lane[l].rho = rz[l];
    lane[l].first_step = false;
    lane[l].iterations += 1;
  }
  const int32_t stop_above = queue_.stop_above();
  for (int32_t l = 0; l < width_; ++l) {
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
    if (residual_norm < tolerance_) {
      finish(l, lane[l].iterations);
    } else if (std::isnan(residual_norm) || lane[l].iterations >= iteration_limit_) {
      finish(l, -1);
    } else if (lane[l].iterations == kFirstSteps) {
      set_aside(l);
    }
  }
}

void LaneGroup::take_offered_lanes() {
  int32_t giver_width = 0;
  const int32_t giver = board_.offered_to(g_, giver_width);
  if (giver < 0) return;
  const LaneWorkspace& from = *board_.team(giver).step.work;
  int32_t busy = 0;
  for (int32_t l = 0; l < width_; ++l) busy += work_.lane[l].rhs >= 0 ? 1 : 0;
  for (int32_t l = 0; l < giver_width; ++l) busy += from.lane[l].rhs >= 0 ? 1 : 0;
  int32_t width = width_;
  while (width < busy) width *= 2;
  if (width != width_) widen_group(work_, width_, width);
  width_ = width;
  int32_t to = 0;
  for (int32_t l = 0; l < giver_width; ++l) {
    if (from.lane[l].rhs < 0) continue;
    while (work_.lane[to].rhs >= 0) ++to;
    move_lane(from, giver_width, l, work_, width_, to);
  }
  board_.take_offer(g_);
}

bool LaneGroup::hand_over(int32_t busy) {
  if (board_.offer_lanes(g_, busy, width_) < 0) return false;
  Handover state = Handover::waiting;
  wait_until_ready([&] { return (state = board_.handover(g_)) != Handover::waiting; });
  if (state != Handover::taken) return false;
  for (int32_t l = 0; l < width_; ++l) work_.lane[l] = fresh_lane(-1);
  return true;
}

void LaneGroup::run() {
  for (int32_t l = 0; l < width_; ++l) start(l);
  for (;;) {
    take_offered_lanes();
    int32_t busy = 0;
    for (int32_t l = 0; l < width_; ++l) busy += work_.lane[l].rhs >= 0 ? 1 : 0;
    board_.team(g_).busy = busy;
    if (busy == 0) return;
    if (queue_.drained()) {
      if (hands_over_ && hand_over(busy)) return;
      int32_t width = width_;
      while (width > kQuarterLanes && busy <= width / 2) width /= 2;
      if (width != width_) narrow_group(work_, width_, width);
      width_ = width;
    }
    step();
  }
}

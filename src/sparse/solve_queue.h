#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <mutex>

#include "sparse/parked_solves.h"
#include "sparse/pcg_lanes.h"

/// What a lane starts: a right-hand side from zero, or a solve set aside after its first steps.
struct SolveStart {
  int32_t rhs = -1;     // the right-hand side, -1 for none
  int32_t parked = -1;  // the slot of the solve set aside, -1 when it starts from zero
};

/// The right-hand sides still to start, shared by the workers of pcg_solve_lanes, the solves set
/// aside after their first steps, and the failures met so far; the callbacks run one at a time,
/// under `lock`.
struct SolveQueue {
  /// `parked` (room for the solves set aside, which may be none) must outlive the queue.
  SolveQueue(int32_t count, const std::function<void(int32_t, double*)>& make,
             const std::function<void(int32_t, const double*, int32_t)>& take,
             const LaneSolveSettings& settings, ParkedSolves& parked);

  /// No solve above this one is wanted: the lowest failure here or known elsewhere.
  int32_t stop_above() const;
  /// Records that right-hand side `rhs` gave up; called under the lock.
  void give_up(int32_t rhs);
  /// What to start next; called under the lock. Right-hand sides that have not started come
  /// first, in ascending order, then the solves set aside, longest first. Once one has given up,
  /// nothing more is started above it; claims come in ascending order, so a claim above it ends
  /// them.
  SolveStart next();
  /// A free slot for a solve that has taken its first steps, or -1 when it goes on: it is set
  /// aside while right-hand sides wait to start and there is room; called under the lock.
  int32_t park_slot();
  /// No solve is left to start.
  bool drained();

  static constexpr int32_t kNoFailure = INT32_MAX;
  int32_t rhs_count;                                      // right-hand sides in all
  const std::function<void(int32_t, double*)>& make_rhs;  // fills one
  const std::function<void(int32_t, const double*, int32_t)>& take_solution;  // takes one
  const std::function<int32_t()>& claim;    // hands out the right-hand sides, if set
  std::atomic<int32_t>* lowest_failure;     // failures known elsewhere, if set
  ParkedSolves& parked;                     // the solves set aside
  std::mutex lock;                          // held while a callback runs or the queue moves
  int32_t next_rhs = 0;                     // the next right-hand side to start, without `claim`
  bool claims_over = false;                 // `claim` has said that none is left
  std::atomic<int32_t> solved{0};           // solutions taken
  std::atomic<int32_t> failed{kNoFailure};  // lowest right-hand side that gave up here
};

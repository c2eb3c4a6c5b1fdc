#pragma once

#include <cstdint>
#include <vector>

#include "sparse/lane_workspace.h"

// Solves set aside after their first steps, so that every right-hand side can take its first
// steps early on, and taken up again longest first. How long a solve will take is not known
// before it runs, but its first steps tell: the least residual norm of its first few steps ranks
// the solves by their lengths well (on the crossing buses, a rank correlation of 0.9 with the
// iterations they take in all). Starting the long solves first keeps them from running on alone
// at the end, after the short ones are done.

/// The steps a solve takes before it may be set aside.
constexpr int32_t kFirstSteps = 4;

/// The solves set aside: the values a solve carries from one step to the next (x, r and p, and
/// its LaneState), in slots allocated once.
class ParkedSolves {
 public:
  /// Room for `slots` solves of n unknowns.
  ParkedSolves(int32_t n, int32_t slots);
  ParkedSolves(const ParkedSolves&) = delete;
  ParkedSolves& operator=(const ParkedSolves&) = delete;
  ~ParkedSolves();

  /// A free slot, reserved for a solve about to be set aside, or -1 when there is none.
  int32_t reserve();
  /// Copies lane l of a group of `width` lanes into slot s.
  void store(int32_t s, const LaneWorkspace& work, int32_t width, int32_t l);
  /// Makes the solve in slot s one to take up again.
  void publish(int32_t s);
  /// The waiting solve with the largest least residual among those whose right-hand side is
  /// below `bound` (ties to the lowest right-hand side), taken out of the waiting ones, or -1.
  int32_t take_longest(int32_t bound);
  /// Whether a solve below `bound` is waiting.
  bool waiting_below(int32_t bound) const;
  /// Copies slot s into lane l of a group of `width` lanes.
  void load(int32_t s, LaneWorkspace& work, int32_t width, int32_t l) const;
  /// Frees slot s once it has been loaded.
  void release(int32_t s);

 private:
  int32_t n_;                     // unknowns of a solve
  double* values_;                // x, r and p of each slot, one after the other
  std::vector<LaneState> state_;  // the LaneState of each slot
  std::vector<int32_t> free_;     // the free slots
  std::vector<int32_t> waiting_;  // the slots of the solves to take up again
};

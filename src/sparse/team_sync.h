#pragma once

#include <atomic>
#include <cstdint>

// How the threads of a team that share the step of one lane group wait for each other between
// the parts of a step. Waits spin briefly, then sleep in short naps, so that a partner that the
// system has descheduled does not cost a whole core.

/// The most threads that share the step of one group.
constexpr int32_t kLargestTeam = 4;

/// A barrier for the members of one step, reused step after step with the step's member count.
struct TeamBarrier {
  alignas(64) std::atomic<int32_t> arrived{0};  // members at the barrier in this round
  alignas(64) std::atomic<int64_t> round{0};    // rounds completed

  /// Returns once all `members` have arrived.
  void arrive_and_wait(int32_t members);
};

/// Calls `ready()` until it is true: spinning at first, then napping.
template <typename Ready>
void wait_until_ready(const Ready& ready);

/// The pause between two looks at a value another thread will change, after `looks` looks.
void pause_between_looks(int64_t looks);

template <typename Ready>
void wait_until_ready(const Ready& ready) {
  for (int64_t looks = 0; !ready(); ++looks) pause_between_looks(looks);
}

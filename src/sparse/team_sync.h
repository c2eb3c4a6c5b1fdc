#pragma once

#include <atomic>
#include <cstdint>

// How the threads of a team that share the step of one lane group wait for each other: counters
// of the rows each has finished in a split substitution, and a barrier between the parts of a
// step. Waits spin briefly, then sleep in short naps, so that a partner that the system has
// descheduled does not cost a whole core.

/// The most threads that share the step of one group.
constexpr int32_t kLargestTeam = 4;

/// How far each member of a team has come through a split substitution: member u's counter holds
/// (pass << 32) + the rows of its list it has finished in that pass. Passes are numbered by the
/// team in the order it runs them, so the counters only grow.
struct TeamProgress {
  struct alignas(64) Counter {
    std::atomic<int64_t> value{0};  // (pass << 32) + rows finished, written by its member alone
  };
  Counter member[kLargestTeam];  // one cache line each

  /// Waits until member u's counter has reached `needed`; returns the value it saw.
  int64_t wait_until(int32_t u, int64_t needed);
};

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

#pragma once

#include <cstdint>

/// Hands out the conductors in lane groups of consecutive ones, in ascending order, to the
/// processes as they ask, each group as wide as the asker's lane groups. Once a conductor is
/// known to have given up, no group above it goes out: nobody needs those solves, while every
/// lower-numbered one is still to be finished.
struct GroupDispenser {
  int32_t conductor_count = 0;        // conductors in all
  int32_t next_first = 0;             // first conductor of the next group
  int32_t lowest_failed = INT32_MAX;  // lowest conductor known to have given up

  /// The next group of at most `width` conductors as [first, first + count); false when none is
  /// left to hand out.
  bool take(int32_t width, int32_t& first, int32_t& count);
  /// Records that conductor k gave up; -1 records nothing.
  void note_failure(int32_t k);
  /// The lowest conductor known to have given up, or -1.
  int32_t failure() const { return lowest_failed == INT32_MAX ? -1 : lowest_failed; }
};

/// The conductors a process has been handed and not yet started: [next, end).
struct ConductorBatch {
  int32_t next = 0;  // the next one to start
  int32_t end = 0;   // one past the last

  /// The next conductor of the batch, or -1 when it is used up.
  int32_t take() { return next < end ? next++ : -1; }
};

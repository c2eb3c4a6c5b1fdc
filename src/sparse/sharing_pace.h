#pragma once

#include <cstdint>

/// Whether the next step of a group is shared with the helpers that have joined it, judged by
/// the times of its recent steps. A shared step pays only while the team's threads run at once;
/// on a machine busy with other work they wait for each other, and a shared step can take longer
/// than one alone. So a shared step that comes out slower than the last step alone sends the
/// group back alone for a while, for twice as long each time it happens again, and the steps
/// alone renew the time to beat. The bits of a step do not depend on it.
struct SharingPace {
  static constexpr int32_t kFirstBackoff = 4;  // steps alone after a shared step that did not pay
  static constexpr int32_t kLongestBackoff = 256;  // the most steps alone in a row

  int32_t width = 0;                // lanes of the group the times belong to
  int32_t members = 1;              // threads of the last step
  double alone_seconds = 0.0;       // the last step alone at this width, 0 before one
  int32_t alone_for = 0;            // steps still to run alone
  int32_t backoff = kFirstBackoff;  // steps alone after the next shared step that does not pay
  bool always = false;              // share every step that can be, whatever the times

  /// The threads for the next step of a group of `lanes` lanes, `available` of them being at
  /// hand (the owner and its helpers).
  int32_t choose(int32_t lanes, int32_t available);
  /// Takes the time of the step just run by `members` threads.
  void record(double seconds);
};

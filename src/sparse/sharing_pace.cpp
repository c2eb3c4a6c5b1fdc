#include "sparse/sharing_pace.h"

#include <algorithm>

int32_t SharingPace::choose(int32_t lanes, int32_t available) {
  if (lanes != width) {
    // A narrower group steps faster: its times start anew.
    width = lanes;
    alone_seconds = 0.0;
    alone_for = 0;
  }
  members = 1;
  if (available <= 1) return members;
  if (always) return members = available;
  if (alone_for > 0) {
    --alone_for;
    return members;
  }
  // A first step alone gives the time a shared one has to beat.
  if (alone_seconds > 0.0) members = available;
  return members;
}

void SharingPace::record(double seconds) {
  if (members == 1) {
    alone_seconds = seconds;
    return;
  }
  if (seconds < alone_seconds) {
    backoff = kFirstBackoff;
    return;
  }
  alone_for = backoff;
  backoff = std::min(2 * backoff, kLongestBackoff);
}

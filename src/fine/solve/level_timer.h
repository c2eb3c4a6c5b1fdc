#pragma once

#include <chrono>
#include <cstdint>

/// Wall time of each phase of a level, written to standard error as
/// "vornax-fine: level M PHASE SECONDS s" when the environment variable VORNAX_TIMING is 1.
class LevelTimer {
 public:
  explicit LevelTimer(int32_t level);

  /// Ends the phase that began at construction or at the previous call and reports it.
  void finish(const char* phase);

 private:
  int32_t level_;                                      // the level timed
  bool enabled_;                                       // VORNAX_TIMING=1 was set
  std::chrono::steady_clock::time_point phase_start_;  // start of the running phase
};

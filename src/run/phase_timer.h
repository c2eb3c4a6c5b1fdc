#pragma once

#include <chrono>

/// Wall time of each pass of a run, written to standard error as
/// "vornax: PHASE SECONDS s" when the environment variable VORNAX_TIMING is 1.
/// When it is not, nothing is measured or written.
class PhaseTimer {
 public:
  PhaseTimer();

  bool enabled() const { return enabled_; }

  /// Ends the phase that began at construction or at the previous call and
  /// reports it under `phase`.
  void finish(const char* phase);

 private:
  bool enabled_;                                       // VORNAX_TIMING=1 was set
  std::chrono::steady_clock::time_point phase_start_;  // start of the running phase
};

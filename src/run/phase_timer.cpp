#include "run/phase_timer.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "common/progress_display.h"

PhaseTimer::PhaseTimer() {
  const char* setting = std::getenv("VORNAX_TIMING");
  enabled_ = setting != nullptr && std::strcmp(setting, "1") == 0;
  if (enabled_) phase_start_ = std::chrono::steady_clock::now();
}

void PhaseTimer::finish(const char* phase) {
  if (!enabled_) return;
  auto now = std::chrono::steady_clock::now();
  std::chrono::duration<double> seconds = now - phase_start_;
  erase_progress_line();
  std::fprintf(stderr, "vornax: %-17s %9.3f s\n", phase, seconds.count());
  phase_start_ = now;
}

#include "fine/solve/level_timer.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

LevelTimer::LevelTimer(int32_t level) : level_(level) {
  const char* setting = std::getenv("VORNAX_TIMING");
  enabled_ = setting != nullptr && std::strcmp(setting, "1") == 0;
  phase_start_ = std::chrono::steady_clock::now();
}

void LevelTimer::finish(const char* phase) {
  if (!enabled_) return;
  auto now = std::chrono::steady_clock::now();
  std::fprintf(stderr, "vornax-fine: level %d %s %.3f s\n", level_, phase,
               std::chrono::duration<double>(now - phase_start_).count());
  phase_start_ = now;
}

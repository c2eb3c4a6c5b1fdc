#include "capacitance/solve_threads.h"

#include <cstdlib>

int32_t solve_thread_count(int32_t cores, int32_t processes, const char* setting) {
  int32_t count = processes > 0 ? cores / processes : cores;
  if (setting != nullptr) {
    const int32_t wanted = std::atoi(setting);
    if (wanted >= 1 && (count < 1 || wanted < count)) count = wanted;
  }
  return count < 1 ? 1 : count;
}

#include "common/thread_count.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "common/cpu_count.h"

int32_t threads_for_cpus(double cpus, const char* setting) {
  // A share a hair below a whole CPU through rounding still counts as that CPU; a share below
  // one CPU still needs its one thread.
  int32_t count = cpus > 0.0 ? std::max(1, static_cast<int32_t>(std::floor(cpus + 1e-9))) : 0;
  if (setting != nullptr) {
    const int32_t wanted = std::atoi(setting);
    if (wanted >= 1 && (count < 1 || wanted < count)) count = wanted;
  }
  return count < 1 ? 1 : count;
}

int32_t default_thread_count() {
  return threads_for_cpus(usable_cpus(), std::getenv("VORNAX_THREADS"));
}

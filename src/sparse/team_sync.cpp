#include "sparse/team_sync.h"

#include <time.h>

namespace {

// About forty microseconds of spinning, as long as a partner on a core of its own takes to finish
// most rows waited for, before the waits become naps that leave the processor to others.
constexpr int64_t kSpinningLooks = 2000;
constexpr timespec kNap{0, 20000};

}  // namespace

void pause_between_looks(int64_t looks) {
  if (looks < kSpinningLooks) {
#if defined(__x86_64__) || defined(__i386__)
    __builtin_ia32_pause();
#endif
    return;
  }
  nanosleep(&kNap, nullptr);
}

void TeamBarrier::arrive_and_wait(int32_t members) {
  const int64_t this_round = round.load(std::memory_order_acquire);
  if (arrived.fetch_add(1, std::memory_order_acq_rel) + 1 == members) {
    arrived.store(0, std::memory_order_relaxed);
    round.fetch_add(1, std::memory_order_acq_rel);
    return;
  }
  wait_until_ready([&] { return round.load(std::memory_order_acquire) != this_round; });
}

#include "common/parallel_for.h"

#include <algorithm>
#include <atomic>

#include "common/worker_pool.h"

void parallel_for(int64_t count, int32_t threads,
                  const std::function<void(int64_t, int32_t)>& body) {
  std::atomic<int64_t> next{0};
  run_workers(parallel_for_threads(count, threads), [&](int32_t thread) {
    for (int64_t k = next++; k < count; k = next++) body(k, thread);
  });
}

int32_t parallel_for_threads(int64_t count, int32_t threads) {
  return static_cast<int32_t>(std::max<int64_t>(1, std::min<int64_t>(threads, count)));
}

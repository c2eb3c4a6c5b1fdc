#include "fine/solve/parallel_for.h"

#include <algorithm>
#include <atomic>
#include <thread>
#include <vector>

void parallel_for(int64_t count, int32_t threads,
                  const std::function<void(int64_t, int32_t)>& body) {
  std::atomic<int64_t> next{0};
  auto work = [&](int32_t thread) {
    for (int64_t k = next++; k < count; k = next++) body(k, thread);
  };
  std::vector<std::thread> helpers;
  for (int32_t t = 1; t < parallel_for_threads(count, threads); ++t) helpers.emplace_back(work, t);
  work(0);
  for (std::thread& helper : helpers) helper.join();
}

int32_t parallel_for_threads(int64_t count, int32_t threads) {
  return static_cast<int32_t>(std::max<int64_t>(1, std::min<int64_t>(threads, count)));
}

#include "fine/parallel_for.h"

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
  for (int32_t t = 1; t < threads && t < count; ++t) helpers.emplace_back(work, t);
  work(0);
  for (std::thread& helper : helpers) helper.join();
}

void parallel_for(int64_t count, int32_t threads, const std::function<void(int64_t)>& body) {
  parallel_for(count, threads, [&](int64_t k, int32_t) { body(k); });
}

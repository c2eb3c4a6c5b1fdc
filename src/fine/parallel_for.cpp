#include "fine/parallel_for.h"

#include <atomic>
#include <thread>
#include <vector>

void parallel_for(int64_t count, int32_t threads, const std::function<void(int64_t)>& body) {
  std::atomic<int64_t> next{0};
  auto work = [&]() {
    for (int64_t k = next++; k < count; k = next++) body(k);
  };
  std::vector<std::thread> helpers;
  for (int32_t t = 1; t < threads && t < count; ++t) helpers.emplace_back(work);
  work();
  for (std::thread& helper : helpers) helper.join();
}

#include "common/worker_pool.h"

#include <pthread.h>

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <vector>

namespace {

struct Pool {
  const std::function<void(int32_t)>* body;  // the work of each thread
  std::mutex lock;                           // guards `running`
  std::condition_variable finished;          // signalled as each body returns
  int32_t running = 0;                       // bodies started and not yet returned
};

struct Start {
  Pool* pool;     // the pool the thread belongs to
  int32_t index;  // the argument of its body
};

void* run_body(void* raw) {
  const Start* start = static_cast<const Start*>(raw);
  Pool& pool = *start->pool;
  (*pool.body)(start->index);
  std::lock_guard<std::mutex> hold(pool.lock);
  --pool.running;
  pool.finished.notify_one();
  return nullptr;
}

}  // namespace

void run_workers(int32_t count, const std::function<void(int32_t)>& body,
                 const std::function<void()>& tick, int32_t tick_milliseconds) {
  Pool pool;
  pool.body = &body;
  std::vector<Start> starts(static_cast<std::size_t>(count));
  std::vector<pthread_t> threads;
  for (int32_t t = 0; t < count; ++t) {
    starts[t] = Start{&pool, t};
    {
      std::lock_guard<std::mutex> hold(pool.lock);
      ++pool.running;
    }
    pthread_t thread;
    if (pthread_create(&thread, nullptr, run_body, &starts[t]) != 0) {
      std::lock_guard<std::mutex> hold(pool.lock);
      --pool.running;
      continue;
    }
    threads.push_back(thread);
  }
  if (threads.empty()) {
    body(0);
    return;
  }
  std::unique_lock<std::mutex> hold(pool.lock);
  while (pool.running > 0) {
    if (!tick) {
      pool.finished.wait(hold);
      continue;
    }
    pool.finished.wait_for(hold, std::chrono::milliseconds(tick_milliseconds));
    if (pool.running == 0) break;
    hold.unlock();
    tick();
    hold.lock();
  }
  hold.unlock();
  for (pthread_t thread : threads) pthread_join(thread, nullptr);
}

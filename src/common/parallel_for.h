#pragma once

#include <cstdint>
#include <functional>

/// Runs body(k, thread) for k = 0 .. count-1 on up to parallel_for_threads(count, threads)
/// threads of the worker pool (run_workers), each taking the next k as it becomes free; `thread`,
/// from 0, names the running thread, for work space of its own. Threads are a speed-up only, as
/// in the pool: where some cannot start, the others take their share, and where none can, the
/// calling thread takes every k as thread 0. The bodies must not depend on which thread runs
/// them or in which order, so that the result is the same for every number of threads.
void parallel_for(int64_t count, int32_t threads,
                  const std::function<void(int64_t, int32_t)>& body);

/// The threads parallel_for runs for `count` items on at most `threads`: at least one, and no
/// more than there are items. Work spaces per thread are this many.
int32_t parallel_for_threads(int64_t count, int32_t threads);

#pragma once

#include <cstdint>
#include <functional>

/// Runs body(k) for k = 0 .. count-1 on `threads` threads (the calling one among them), each
/// taking the next k as it becomes free. The bodies must not depend on which thread runs them
/// or in which order, so that the result is the same for every number of threads.
void parallel_for(int64_t count, int32_t threads, const std::function<void(int64_t)>& body);

/// The same, with the number of the running thread (0 .. threads-1) passed to the body as well,
/// for work space of its own.
void parallel_for(int64_t count, int32_t threads,
                  const std::function<void(int64_t, int32_t)>& body);

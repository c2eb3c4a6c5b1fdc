#pragma once

#include <cstdint>
#include <functional>

/// Runs body(t) for t = 0 .. count-1, each on a thread of its own, while the calling thread
/// calls tick(), if given, about every `tick_milliseconds` until every body has returned. Threads
/// are a speed-up only: a body whose thread cannot be created does not run (the bodies must share
/// their work through a queue), and where no thread can be created the calling thread runs
/// body(0) itself, without ticks.
void run_workers(int32_t count, const std::function<void(int32_t)>& body,
                 const std::function<void()>& tick = nullptr, int32_t tick_milliseconds = 0);

#pragma once

#include <cstdint>

/// Solve threads of one process that has `cpus` CPUs to itself (a fraction where a quota or
/// other processes share them): its whole CPUs, at least one, and no more than a positive
/// `setting` (VORNAX_THREADS; null or not a positive number: no cap, never a raise). `cpus` 0 means
/// unknown: `setting`, or one thread.
int32_t threads_for_cpus(double cpus, const char* setting);

/// The default number of threads of a program's parallel part: the CPUs it may run on (its
/// affinity mask), no more than its cgroup CPU quota where one is set, and no more than the
/// environment variable VORNAX_THREADS where that is a positive number.
int32_t default_thread_count();

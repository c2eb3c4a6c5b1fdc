#pragma once

#include <cstdint>

/// Solve threads of one process: the cores divided among the `processes` that share them, at
/// least one, and no more than a positive `setting` (VORNAX_THREADS; null or not a positive
/// number: no cap, never a raise).
int32_t solve_thread_count(int32_t cores, int32_t processes, const char* setting);

#pragma once

#include <cstdint>

#include "common/instruction_set.h"

/// A worker rank's whole part of a run: it receives P and the factor from rank 0, solves the
/// lane groups it is handed on `thread_count` threads (of `job_threads` in the whole job) over
/// the kernels of `instruction_set`, and sends each solution's column back. Returns the exit
/// status that rank 0 ends it with. Running out of memory ends the process; end_run_on_exit
/// then tells rank 0.
int run_worker(InstructionSet instruction_set, int32_t thread_count, int32_t job_threads);

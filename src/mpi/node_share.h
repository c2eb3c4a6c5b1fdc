#pragma once

#include <cstdint>

#include "sparse/instruction_set.h"

/// The number of ranks of this job on this node (those that share its memory). Needs MPI.
int32_t ranks_on_this_node();

/// Lanes of a rank's groups at the most: as wide as the single-process engine would make them
/// for `conductor_count` solves shared by `job_threads` threads of the whole job, and no wider
/// than the rank's path runs well.
int32_t job_group_width(int32_t conductor_count, int32_t job_threads, InstructionSet set);

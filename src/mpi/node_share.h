#pragma once

#include <cstdint>
#include <vector>

#include "common/instruction_set.h"

/// What this rank shares with the other ranks of its node.
struct NodeShare {
  int32_t ranks = 1;  // ranks of this job on this node, sharing its memory
  double cpus = 0.0;  // the CPUs of this rank's share (see shared_cpus); 0 when unknown
};

/// The ranks of this job on this node and this rank's share of their CPUs: shared_cpus of the
/// affinity masks of the node's ranks, no more than the cgroup CPU quota divided among them.
/// Every rank calls it at once. Needs MPI.
NodeShare share_of_this_node();

/// The CPUs of a process whose affinity mask holds `own`, among processes with the masks
/// `everyone` (its own among them): each of its CPUs counts 1/h, h being the processes whose
/// masks hold that CPU. Ranks bound to CPUs of their own get them all; ranks on the same CPUs
/// divide them.
double shared_cpus(const std::vector<int32_t>& own,
                   const std::vector<std::vector<int32_t>>& everyone);

/// Lanes of a rank's groups at the most: as wide as the single-process engine would make them
/// for `conductor_count` solves shared by `job_threads` threads of the whole job, and no wider
/// than the rank's path runs well.
int32_t job_group_width(int32_t conductor_count, int32_t job_threads, InstructionSet set);

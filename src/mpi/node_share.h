#pragma once

#include <cstdint>

/// Solve threads of one rank: the node's cores divided among the node's ranks, at least one,
/// and no more than a positive `setting` (VORNAX_THREADS; null or not a positive number: no cap).
int32_t threads_per_rank(int32_t node_cores, int32_t ranks_on_node, const char* setting);

/// The number of ranks of this job on this node (those that share its memory). Needs MPI.
int32_t ranks_on_this_node();

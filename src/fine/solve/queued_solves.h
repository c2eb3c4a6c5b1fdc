#pragma once

#include <atomic>
#include <cstdint>
#include <vector>

#include "fine/clusters/cluster_tree.h"
#include "fine/mesh/graded_mesh.h"
#include "fine/solve/lane_pcg.h"
#include "fine/solve/level_preconditioner.h"

/// The solves of the conductors that a queue shared by several threads hands out, on one thread's
/// lane group: each lane takes the next conductor (`next`, counted up to `conductors`) as soon as
/// its last one is done, so that no lane idles while the other threads still have solves ahead
/// and the groups of all threads end about together. A conductor's lane starts from its start in
/// `solution` (per panel in mesh order and conductor) and runs the steps of solve_lanes exactly,
/// whichever lane, thread or step it starts in: each lane's arithmetic is its own. Its solution
/// is written back in place of its start, its outcome to outcome[conductor], and then
/// finished[conductor] is set (a release: a thread that reads it set sees the solution). Needs a
/// preconditioner without a coarse space (M.work_size() == 0), whose start is not corrected.
void solve_queued_conductors(const LevelMesh& mesh, const ClusterTree& tree, const LevelOperator& Q,
                             const LevelPreconditioner& M, int32_t conductors, double tolerance,
                             int32_t max_iterations, std::atomic<int32_t>& next,
                             std::vector<double>& solution, std::vector<LaneOutcome>& outcome,
                             std::atomic<char>* finished, LaneWork& work);

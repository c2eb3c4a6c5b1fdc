#pragma once

#include <cstdint>
#include <vector>

#include "fine/clusters/cluster_tree.h"
#include "fine/mesh/graded_mesh.h"
#include "fine/solve/lane_pcg.h"
#include "fine/solve/level_preconditioner.h"
#include "fine/solve/solve_level.h"

/// Every conductor's solve, in groups of kNarrowLanes side by side: the solutions x, started
/// from `start`, and P x, in mesh order, conductor by conductor side by side. The solutions take
/// over the starts' room: each group reads its own starts before it writes its solutions there.
struct ConductorSolves {
  std::vector<double> solution;  // per panel and conductor
  std::vector<double> product;   // P times the solutions, likewise
  int64_t iterations = 0;        // conjugate-gradient steps of all solves
  bool converged = true;         // every solve met its tolerance
};

/// The solves of every conductor of a symmetric system (potential 1 on its panels) under Q to
/// settings.stationary_tolerance, with P x for the capacitance. In one process without a coarse
/// space the threads' lane groups share one queue of conductors (solve_queued_conductors), a
/// thread without solves makes P x of whole groups of finished ones, and the threads make the
/// last products together (FarField::add_locals); otherwise they run fixed groups of kNarrowLanes,
/// this process's groups of settings.share, the others' gathered. Both give every conductor the
/// same bits.
ConductorSolves solve_conductors(const LevelMesh& mesh, const ClusterTree& tree,
                                 const LevelOperator& Q, const LevelOperator& P,
                                 const LevelPreconditioner& M, std::vector<double> start,
                                 int32_t conductors, const LevelSettings& settings);

/// C(j, k) = b_jᵀ x_k + b_kᵀ x_j − x_jᵀ P x_k: stationary in the errors of both solves, so
/// their residuals spoil it only to second order; computed for j <= k and mirrored.
std::vector<double> capacitance_of(const LevelMesh& mesh, const ConductorSolves& solves,
                                   int32_t conductors, int32_t threads = 1);

#pragma once

#include <cstdint>
#include <vector>

#include "fine/clusters/cluster_tree.h"
#include "fine/solve/general_system.h"
#include "fine/solve/lane_pcg.h"
#include "fine/solve/solve_level.h"

/// The solves of a level for some conductors only (the master nets), or for a system that is not
/// symmetric: one solve per master, whose charges give its row of the capacitance directly.
/// Such a row is not stationary in the solve's error as the symmetric form of every row is, so
/// each solve is made good to the accurate far field: iterated on the cheap one, then corrected
/// by solves of its residual under the accurate one, to a tolerance a hundred times tighter.
struct MasterSolves {
  std::vector<double> solution;  // per mesh panel and master, the masters side by side
  int64_t iterations = 0;        // steps of all solves
  bool converged = true;         // every solve met its tolerance
};

/// Columns of the space a GMRES group keeps from its first solve for its corrections
/// (RecycledSpace): lines24's first solve takes 17 steps, and each correction under the accurate
/// far field then takes 10 to 14 steps instead of 22.
constexpr int32_t kRecycledColumns = 24;

/// Lane w of b: potential 1 on the panels of master first + w; x: its start from `start` (per
/// mesh panel and master). Tree order.
void fill_masters(const LevelMesh& mesh, const ClusterTree& tree, const std::vector<double>& start,
                  const std::vector<int32_t>& masters, int32_t first, Lanes<kNarrowLanes>* b,
                  Lanes<kNarrowLanes>* x);

/// The lanes of x (tree order) for masters first, first + 1, … into `out` (per mesh panel and
/// master, `count` masters).
void keep_lanes(const ClusterTree& tree, const Lanes<kNarrowLanes>* x, int32_t count, int32_t first,
                std::vector<double>& out);

/// The right-hand side of each master (potential 1 on its panels) and the starts in `start`
/// (per mesh panel and master), for the symmetric system of potentials.
MasterSolves solve_symmetric_masters(const LevelMesh& mesh, const ClusterTree& tree,
                                     const LevelOperator& Q, const LevelOperator& P,
                                     const LevelPreconditioner& M, const std::vector<double>& start,
                                     const std::vector<int32_t>& masters,
                                     const LevelSettings& settings);

/// The same for the system with dielectric pieces, whose rows have no right-hand side.
MasterSolves solve_general_masters(const LevelMesh& mesh, const ClusterTree& tree,
                                   const GeneralSystem& A, const BlockPreconditioner& M,
                                   int32_t highest, int32_t iteration_degree,
                                   const std::vector<double>& start,
                                   const std::vector<int32_t>& masters,
                                   const LevelSettings& settings);

/// The capacitance rows of the masters from their solutions: entry (r, k) is 4π ε0 times the
/// free charge of conductor k in solve r, the sum over its panels of factor · charge.
std::vector<double> master_rows(const LevelMesh& mesh, const MasterSolves& solves, int32_t masters,
                                int32_t conductors, const std::vector<double>& factor);

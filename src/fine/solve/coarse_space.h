#pragma once

#include <cstdint>
#include <vector>

#include "fine/clusters/cluster_tree.h"
#include "fine/mesh/graded_mesh.h"
#include "sparse/lane_kernels.h"

struct LevelOperator;

/// The coarse space of a level's deflated solves: one unknown per cluster of a cut through the
/// cluster tree, a charge of constant density over the cluster's panels (column c of Z); the
/// Galerkin matrix E = Zᵀ Q Z of the operator the solves iterate, formed with that operator
/// itself and factored E = L Lᵀ; and Q Z, kept to project each direction. The incomplete factor
/// sees only the near coefficients; the coupling it misses between distant parts is smoothest
/// on the largest scales, and the coarse space takes those out of the iteration.
struct CoarseSpace {
  int32_t size = 0;            // coarse unknowns; 0: none
  std::vector<int32_t> first;  // size + 1 tree positions: unknown c spans first[c] .. first[c+1]-1
  std::vector<double> weight;  // per tree position: its entry of Z, the panel's area
  std::vector<double> lower;   // L, row by row, size × size (the upper triangle unused)
  std::vector<double> image;   // Q Z, column by column, each in tree order
};

/// The coarse space of the largest clusters of at most `panels` panels (the leaves where none
/// is that small), E formed on `threads` threads. Where E is not positive definite in floating
/// point, the space is left empty.
CoarseSpace make_coarse_space(const LevelMesh& mesh, const ClusterTree& tree,
                              const LevelOperator& Q, int32_t panels, int32_t threads);

/// x += Z u and r −= Q Z u with u = E⁻¹ Zᵀ r: a start corrected on the coarse space, whose
/// residual r = b − Q x has no coarse part (Zᵀ r = 0). `work` holds size lane groups.
void correct_start(const CoarseSpace& coarse, Lanes<kNarrowLanes>* x, Lanes<kNarrowLanes>* r,
                   Lanes<kNarrowLanes>* work);

/// z −= Z E⁻¹ (Q Z)ᵀ z: a direction without what Q would move into the coarse space, so that
/// residuals free of a coarse part stay so. Each lane's arithmetic is its own.
void deflate_direction(const CoarseSpace& coarse, Lanes<kNarrowLanes>* z,
                       Lanes<kNarrowLanes>* work);

#pragma once

#include <cstdint>
#include <vector>

#include "fine/clusters/cluster_tree.h"
#include "fine/clusters/interaction_lists.h"

/// The coefficients of potential of the panel pairs that are too close for the expansions, a
/// symmetric matrix in tree order: for row i, the diagonal and the entries right of it.
struct NearField {
  int32_t n = 0;                   // order
  std::vector<double> diagonal;    // coefficient of each panel with itself
  std::vector<int64_t> row_start;  // n + 1 offsets into col and value
  std::vector<int32_t> col;        // column of each entry, > its row
  std::vector<double> value;       // coefficient (1 / (A_i A_j)) ∬∬ dA dA' / r
};

/// Computes the near coefficients of `lists` on `threads` threads.
NearField make_near_field(const LevelMesh& mesh, const ClusterTree& tree,
                          const InteractionLists& lists, int32_t threads);

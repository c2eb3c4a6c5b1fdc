#pragma once

#include <cstdint>
#include <vector>

#include "fine/clusters/cluster_tree.h"
#include "fine/clusters/interaction_lists.h"
#include "fine/solve/near_field.h"
#include "sparse/lane_kernels.h"

/// The near coefficients of a system that is not symmetric (dielectric pieces take the normal
/// derivative where conductor panels take the potential), row by row in tree order: every
/// column of a row, its own included.
struct NearRows {
  int32_t n = 0;                   // order
  std::vector<int64_t> row_start;  // n + 1 offsets into col and value
  std::vector<int32_t> col;        // column of each entry; each row's own column first
  std::vector<double> value;       // NearMedium::coefficient of the row and column panels
};

/// The near coefficients of `lists` through `medium`, on `threads` threads.
NearRows make_near_rows(const LevelMesh& mesh, const ClusterTree& tree,
                        const InteractionLists& lists, int32_t threads, const NearMedium& medium);

/// y = N x for eight solves side by side.
void near_rows_multiply(const NearRows& N, const Lanes<kNarrowLanes>* x, Lanes<kNarrowLanes>* y);

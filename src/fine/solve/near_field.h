#pragma once

#include <cstdint>
#include <vector>

#include "common/first_touch_vector.h"
#include "fine/clusters/cluster_tree.h"
#include "fine/clusters/interaction_lists.h"
#include "fine/coefficients/coefficient_cache.h"
#include "fine/media/layered_kernel.h"

/// The coefficients of potential of the panel pairs that are too close for the expansions, a
/// symmetric matrix in tree order: for row i, the diagonal and the entries right of it.
struct NearField {
  int32_t n = 0;                   // order
  std::vector<double> diagonal;    // coefficient of each panel with itself
  std::vector<int64_t> row_start;  // n + 1 offsets into col and value
  FirstTouchVector<int32_t> col;   // column of each entry, > its row
  FirstTouchVector<double> value;  // coefficient (1 / (A_i A_j)) ∬∬ dA dA' / r
};

/// The medium of the near coefficients: the kernels of a layer stack and each panel's layer.
struct NearMedium {
  const LayeredKernel* kernel = nullptr;  // the stack's kernels; null: one medium, 1 / r
  std::vector<int32_t> layer;             // per mesh panel: the layer it lies in
  std::vector<char> normal_row;           // per mesh panel: 1 where its row takes the mean
                                          // normal derivative; empty: none does
  int32_t layers = 1;                     // layers of the stack

  /// The coefficient of row panel a and column panel b (mesh numbers), through `cache`.
  double coefficient(CoefficientCache& cache, const LevelMesh& mesh, int32_t a, int32_t b) const;
  /// The probe of that coefficient (CoefficientCache::Probe).
  CoefficientCache::Probe probe(CoefficientCache& cache, const LevelMesh& mesh, int32_t a,
                                int32_t b) const;
};

/// values[k] = the coefficient of row panel a and column panel columns[k] (mesh numbers) for k
/// below `count`: through `medium`, or in one medium without it. The same bits as one pair at a
/// time; the cache's slot of each pair is fetched a few pairs ahead of its use.
void near_row_values(CoefficientCache& cache, const LevelMesh& mesh, const NearMedium* medium,
                     int32_t a, const int32_t* columns, int64_t count, double* values);

/// The leaves of the tree, in node order.
std::vector<int32_t> leaf_nodes(const ClusterTree& tree);

/// Computes the near coefficients of `lists` on `threads` threads; with `medium`, through the
/// images of its layer stack (its rows must all take the potential: the matrix is symmetric).
/// In one medium each coefficient's far expansion is kept within `far_tolerance` of it
/// (galerkin_integral_to; 0: its own bound).
NearField make_near_field(const LevelMesh& mesh, const ClusterTree& tree,
                          const InteractionLists& lists, int32_t threads,
                          const NearMedium* medium = nullptr, double far_tolerance = 0);

#include "fine/solve/level_memory.h"

#include <algorithm>

#include "common/parallel_for.h"
#include "common/vector_bytes.h"
#include "fine/coefficients/coefficient_cache.h"
#include "fine/solve/lane_pcg.h"

namespace {

int64_t mesh_bytes(const LevelMesh& mesh) {
  int64_t bytes = vectors_bytes(mesh.panels, mesh.face_first, mesh.cuts[0], mesh.cuts[1]);
  for (int k = 0; k < 2; ++k) {
    for (const std::vector<double>& cuts : mesh.cuts[k]) bytes += vector_bytes(cuts);
  }
  return bytes;
}

/// The arrays of the factor, and what making it takes besides: a copy of its entries to start
/// again from with a larger shift, and 33 bytes of each row (its raised diagonal, its place in
/// the lists of rows waiting for a column, its values in a dense row).
int64_t factor_bytes(const IncompleteFactor& factor, bool making) {
  const int64_t bytes = vectors_bytes(factor.diagonal, factor.row_start, factor.col, factor.value);
  return making ? bytes + vector_bytes(factor.value) + 33 * int64_t{factor.n} : bytes;
}

}  // namespace

int64_t level_peak_bytes(const LevelParts& level) {
  const int64_t n = level.near.n;
  int64_t held = mesh_bytes(level.mesh) + vectors_bytes(level.tree.nodes, level.tree.panel,
                                                        level.lists.far, level.lists.near,
                                                        level.near.diagonal, level.near.row_start,
                                                        level.near.col, level.near.value);
  if (level.previous != nullptr) {
    held += mesh_bytes(level.previous->mesh) + vector_bytes(level.previous->charge);
  }
  // The near coefficients: a cache per thread, and the partners of each leaf.
  int64_t leaves = 0;
  for (const ClusterNode& node : level.tree.nodes) leaves += node.child[0] < 0 ? 1 : 0;
  const int64_t near_phase =
      parallel_for_threads(leaves, level.threads) * CoefficientCache::bytes() +
      vector_bytes(level.tree.nodes) / sizeof(ClusterNode) * sizeof(std::vector<int32_t>) +
      vector_bytes(level.lists.near) / 2;
  const int64_t factor_phase =
      level.far.bytes() + factor_bytes(level.preconditioner.factor, true) + level.single_near_bytes;
  // The solves: the solutions (in the room of their starts) and P times them of every conductor,
  // the coarse space, and the vectors, far-field and coarse work space of each solving thread.
  const CoarseSpace& coarse = level.preconditioner.coarse;
  const int64_t coarse_bytes =
      vectors_bytes(coarse.first, coarse.weight, coarse.lower, coarse.image);
  const int32_t groups = (level.conductors + kNarrowLanes - 1) / kNarrowLanes;
  const int64_t lane_vector = n * static_cast<int64_t>(sizeof(Lanes<kNarrowLanes>));
  const int64_t per_thread = kLaneWorkVectors * lane_vector + level.far.work_bytes() +
                             coarse.size * static_cast<int64_t>(sizeof(Lanes<kNarrowLanes>));
  const int64_t solve_phase = level.far.bytes() + factor_bytes(level.preconditioner.factor, false) +
                              coarse_bytes + level.single_near_bytes +
                              2 * n * level.conductors * static_cast<int64_t>(sizeof(double)) +
                              parallel_for_threads(groups, level.threads) * per_thread;
  return held + std::max({near_phase, factor_phase, solve_phase});
}

#include "fine/solve/symmetric_level.h"

#include <algorithm>

#include "fine/solve/level_memory.h"

SymmetricLevel::SymmetricLevel(const LevelMesh& mesh, const ClusterTree& tree,
                               const InteractionLists& lists, const LevelSettings& settings,
                               const NearMedium* near_medium, const FarFieldMedium* far_medium,
                               LevelTimer& timer)
    : near(make_near_field(mesh, tree, lists, settings.threads, near_medium)),
      far((timer.finish("near coefficients"),
           FarField(mesh, tree, lists, settings.highest_degree, settings.iteration_degree,
                    settings.separation, far_medium))),
      P{near, far, settings.instruction_set, settings.highest_degree},
      Q{near, far, settings.instruction_set,
        std::min(settings.iteration_degree, settings.highest_degree)},
      preconditioner{
          (timer.finish("far field"), make_incomplete_factor(near, settings.factor_keep)),
          CoarseSpace{}, settings.instruction_set} {
  timer.finish("factor");
  if (settings.coarse_panels > 0) {
    preconditioner.coarse =
        make_coarse_space(mesh, tree, Q, settings.coarse_panels, settings.threads);
    timer.finish("coarse space");
  }
}

void SymmetricLevel::count(const LevelMesh& mesh, const ClusterTree& tree,
                           const InteractionLists& lists, const LevelResult* previous,
                           int32_t solves, int32_t threads, LevelResult& result) const {
  result.near_entries = near.row_start[near.n] + near.n;
  result.far_links = far.pair_count();
  result.bytes = static_cast<double>(level_peak_bytes(
      LevelParts{mesh, tree, lists, near, far, preconditioner, previous, solves, threads}));
}

#include "fine/solve/symmetric_level.h"

#include <algorithm>
#include <optional>
#include <utility>

#include "common/parallel_for.h"
#include "fine/solve/level_memory.h"

struct SymmetricLevel::Parts {
  NearField near;
  SingleNear single_near;
  std::optional<FarField> far;
  IncompleteFactor factor;
};

SymmetricLevel::SymmetricLevel(const LevelMesh& mesh, const ClusterTree& tree,
                               const InteractionLists& lists, const LevelSettings& settings,
                               const NearMedium* near_medium, const FarFieldMedium* far_medium,
                               LevelTimer& timer)
    : SymmetricLevel(build_parts(mesh, tree, lists, settings, near_medium, far_medium, timer), mesh,
                     tree, settings, timer) {}

SymmetricLevel::SymmetricLevel(Parts&& parts, const LevelMesh& mesh, const ClusterTree& tree,
                               const LevelSettings& settings, LevelTimer& timer)
    : near(std::move(parts.near)),
      single_near(std::move(parts.single_near)),
      far(std::move(*parts.far)),
      P{near, far, settings.instruction_set, settings.highest_degree},
      Q{near, far, settings.instruction_set,
        std::min(settings.iteration_degree, settings.highest_degree), &single_near},
      preconditioner{std::move(parts.factor), CoarseSpace{}, settings.instruction_set} {
  if (settings.coarse_panels > 0) {
    preconditioner.coarse =
        make_coarse_space(mesh, tree, Q, settings.coarse_panels, settings.threads);
    timer.finish("coarse space");
  }
}

SymmetricLevel::Parts SymmetricLevel::build_parts(const LevelMesh& mesh, const ClusterTree& tree,
                                                  const InteractionLists& lists,
                                                  const LevelSettings& settings,
                                                  const NearMedium* near_medium,
                                                  const FarFieldMedium* far_medium,
                                                  LevelTimer& timer) {
  Parts parts;
  parts.near =
      make_near_field(mesh, tree, lists, settings.threads, near_medium, settings.near_tolerance);
  timer.finish("near coefficients");
  parallel_for(2, settings.threads, [&](int64_t part, int32_t) {
    if (part == 0) {
      parts.far.emplace(mesh, tree, lists, settings.highest_degree, settings.iteration_degree,
                        settings.separation, far_medium);
    } else {
      parts.factor = make_incomplete_factor(parts.near, settings.factor_keep);
      parts.single_near = make_single_near(parts.near);
    }
  });
  timer.finish("far field and factor");
  return parts;
}

void SymmetricLevel::count(const LevelMesh& mesh, const ClusterTree& tree,
                           const InteractionLists& lists, const LevelResult* previous,
                           int32_t solves, int32_t threads, LevelResult& result) const {
  result.near_entries = near.row_start[near.n] + near.n;
  result.far_links = far.pair_count();
  result.bytes = static_cast<double>(
      level_peak_bytes(LevelParts{mesh, tree, lists, near, far, preconditioner, previous, solves,
                                  threads, single_near_bytes(single_near)}));
}

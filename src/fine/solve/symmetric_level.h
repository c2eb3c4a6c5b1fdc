#pragma once

#include <cstdint>

#include "fine/clusters/cluster_tree.h"
#include "fine/clusters/interaction_lists.h"
#include "fine/far_field/far_field.h"
#include "fine/solve/lane_pcg.h"
#include "fine/solve/level_preconditioner.h"
#include "fine/solve/level_timer.h"
#include "fine/solve/near_field.h"
#include "fine/solve/single_near.h"
#include "fine/solve/solve_level.h"

/// The symmetric system of a level, in vacuum or through a stack's images: its near
/// coefficients, then its far field and its preconditioner side by side (each needs only what
/// came before, and each is mostly the work of one thread), timed phase by phase, and the two
/// operators the conjugate-gradient solves use: Q at the degree of the iterations, P at the
/// highest degree for the final products. P and Q refer to the members, so the system stays
/// where it was built.
struct SymmetricLevel {
  SymmetricLevel(const LevelMesh& mesh, const ClusterTree& tree, const InteractionLists& lists,
                 const LevelSettings& settings, const NearMedium* near_medium,
                 const FarFieldMedium* far_medium, LevelTimer& timer);
  SymmetricLevel(const SymmetricLevel&) = delete;
  SymmetricLevel& operator=(const SymmetricLevel&) = delete;

  /// Fills the level's counts and its peak bytes with `solves` solves side by side.
  void count(const LevelMesh& mesh, const ClusterTree& tree, const InteractionLists& lists,
             const LevelResult* previous, int32_t solves, int32_t threads,
             LevelResult& result) const;

  NearField near;                      // the near coefficients
  SingleNear single_near;              // the same in single precision, for Q
  FarField far;                        // the far field
  LevelOperator P;                     // the operator at the highest degree
  LevelOperator Q;                     // the operator at the degree of the iterations
  LevelPreconditioner preconditioner;  // of the solves under Q

 private:
  struct Parts;  // the near coefficients, far field and factor as they were built
  // The near coefficients, then the far field on one thread beside the factor on another.
  static Parts build_parts(const LevelMesh& mesh, const ClusterTree& tree,
                           const InteractionLists& lists, const LevelSettings& settings,
                           const NearMedium* near_medium, const FarFieldMedium* far_medium,
                           LevelTimer& timer);
  SymmetricLevel(Parts&& parts, const LevelMesh& mesh, const ClusterTree& tree,
                 const LevelSettings& settings, LevelTimer& timer);
};

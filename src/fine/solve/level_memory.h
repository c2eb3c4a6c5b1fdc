#pragma once

#include <cstdint>

#include "fine/clusters/cluster_tree.h"
#include "fine/clusters/interaction_lists.h"
#include "fine/far_field/far_field.h"
#include "fine/mesh/graded_mesh.h"
#include "fine/solve/level_preconditioner.h"
#include "fine/solve/near_field.h"
#include "fine/solve/solve_level.h"

/// What a level has built by the time its solves start.
struct LevelParts {
  const LevelMesh& mesh;                      // its panels
  const ClusterTree& tree;                    // its clusters
  const InteractionLists& lists;              // its near and far pairs
  const NearField& near;                      // its near coefficients
  const FarField& far;                        // its far field
  const LevelPreconditioner& preconditioner;  // of its solves
  const LevelResult* previous;    // the level below, whose mesh and charges it holds; or null
  int32_t conductors;             // the solves, one per conductor
  int32_t threads;                // threads of its near coefficients and its solves
  int64_t single_near_bytes = 0;  // the iterations' copy of the near coefficients, made beside
                                  // the factor
};

/// The most memory the level takes at once, counted from every array it builds: what it holds
/// throughout (the meshes, the clusters and pairs, the near coefficients), and the most of what
/// one of its phases adds: the coefficient caches of each thread while the near coefficients
/// are computed, the far field and the factor with its copies while the factor is made, or the
/// far field, the factor, the charges and each solving thread's vectors while it solves.
int64_t level_peak_bytes(const LevelParts& level);

#pragma once

#include <cstdint>

#include "common/instruction_set.h"
#include "fine/solve/coarse_space.h"
#include "fine/solve/incomplete_factor.h"
#include "sparse/lane_kernels.h"

/// The preconditioner of a level's conjugate-gradient solves on a group of eight lanes: the
/// incomplete factor of the strong near coefficients, and optionally a coarse space deflated
/// from the iteration. With the coarse space, a solve starts from a start corrected on it (so
/// that Zᵀ r = 0) and each preconditioned residual is projected, z = (I − Z E⁻¹ Zᵀ Q) M⁻¹ r:
/// the iteration then keeps Zᵀ r = 0, and the method is conjugate gradients under the balancing
/// preconditioner, symmetric and positive definite, in the cost of one factor solve and a
/// projection per step.
struct LevelPreconditioner {
  IncompleteFactor factor;         // of the strong near coefficients
  CoarseSpace coarse;              // the clusters' constants deflated; may be empty
  InstructionSet instruction_set;  // the path of the factor's solve

  /// The lane groups of work space correct and apply need.
  int32_t work_size() const { return coarse.size; }
  /// The start x and its residual r = b − Q x corrected on the coarse space (nothing without
  /// one); before the first apply.
  void correct(Lanes<kNarrowLanes>* x, Lanes<kNarrowLanes>* r, Lanes<kNarrowLanes>* work) const;
  /// z = M⁻¹ r; `work` holds work_size() lane groups. Each lane's arithmetic is its own.
  void apply(const Lanes<kNarrowLanes>* r, Lanes<kNarrowLanes>* z, Lanes<kNarrowLanes>* work) const;
};

#pragma once

#include <cstdint>
#include <memory>

#include "common/instruction_set.h"
#include "fine/solve/incomplete_factor.h"
#include "sparse/lane_kernels.h"

/// The preconditioner of a level's conjugate-gradient solves, z = M⁻¹ r on a group of eight
/// lanes: the incomplete factor of the strong near coefficients.
struct LevelPreconditioner {
  IncompleteFactor factor;         // of the strong near coefficients
  InstructionSet instruction_set;  // the path of the factor's solve

  /// The lane groups of work space apply needs.
  int32_t work_size() const { return 0; }
  /// z = M⁻¹ r; `work` holds work_size() lane groups. Each lane's arithmetic is its own.
  void apply(const Lanes<kNarrowLanes>* r, Lanes<kNarrowLanes>* z, Lanes<kNarrowLanes>* work) const;
};

#pragma once

#include <cstdint>

#include "common/instruction_set.h"
#include "fine/solve/incomplete_factor.h"
#include "fine/solve/near_field.h"
#include "fine/solve/single_near.h"
#include "sparse/lane_kernels.h"

/// The near coefficients and their incomplete factor on groups of eight solves, compiled once
/// per instruction set. They differ only in register width, never in a bit of their results.
/// vornax's lane kernels cannot stand in for them: vornax's matrices and their factor F = UᵀDU
/// are laid out and summed in the order vornax defines, and vornax-fine's results are those of
/// its own order.
struct NearKernels {
  /// y = N x.
  void (*near_multiply)(const NearField& N, const Lanes<kNarrowLanes>* x, Lanes<kNarrowLanes>* y);
  /// y = N x on the single-precision copy.
  void (*single_near_multiply)(const SingleNear& N, const Lanes<kNarrowLanes>* x,
                               Lanes<kNarrowLanes>* y);
  /// z = (UᵀU)⁻¹ r.
  void (*factor_solve)(const IncompleteFactor& U, const Lanes<kNarrowLanes>* r,
                       Lanes<kNarrowLanes>* z);
};

/// The kernels of one path; the caller makes sure the processor has it (processor_has).
const NearKernels& near_kernels(InstructionSet set);

extern const NearKernels kNearKernelsSse2;
extern const NearKernels kNearKernelsAvx2;
extern const NearKernels kNearKernelsAvx512;

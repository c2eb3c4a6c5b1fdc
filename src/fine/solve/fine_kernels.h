#pragma once

#include <cstdint>

#include "common/instruction_set.h"
#include "fine/far_field/far_field.h"
#include "fine/solve/incomplete_factor.h"
#include "fine/solve/near_field.h"
#include "sparse/lane_kernels.h"

/// The operations of the lane-group solves, compiled once per instruction set. They differ only
/// in register width, never in a bit of their results.
struct FineKernels {
  /// y = N x.
  void (*near_multiply)(const NearField& N, const Lanes<kNarrowLanes>* x, Lanes<kNarrowLanes>* y);
  /// y += F x with every expansion cut at degree `cap`; `multipole` and `local` hold
  /// F.block_count blocks each.
  void (*far_multiply)(const FarField& F, int32_t cap, const Lanes<kNarrowLanes>* x,
                       Lanes<kNarrowLanes>* y, Lanes<kNarrowLanes>* multipole,
                       Lanes<kNarrowLanes>* local);
  /// z = (UᵀU)⁻¹ r.
  void (*factor_solve)(const IncompleteFactor& U, const Lanes<kNarrowLanes>* r,
                       Lanes<kNarrowLanes>* z);
};

/// The kernels of one path; the caller makes sure the processor has it (processor_has).
const FineKernels& fine_kernels(InstructionSet set);

extern const FineKernels kFineKernelsSse2;
extern const FineKernels kFineKernelsAvx2;
extern const FineKernels kFineKernelsAvx512;

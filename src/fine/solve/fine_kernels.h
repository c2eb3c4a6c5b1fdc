#pragma once

#include <cstdint>

#include "common/instruction_set.h"
#include "fine/far_field/far_field.h"
#include "fine/solve/incomplete_factor.h"
#include "fine/solve/lane_block.h"
#include "fine/solve/near_field.h"

/// The operations of the lane-group solves, compiled once per instruction set. They differ only
/// in register width, never in a bit of their results.
struct FineKernels {
  /// y = N x.
  void (*near_multiply)(const NearField& N, const LaneBlock* x, LaneBlock* y);
  /// y += F x with every expansion cut at degree `cap`; `multipole` and `local` hold
  /// F.block_count blocks each.
  void (*far_multiply)(const FarField& F, int32_t cap, const LaneBlock* x, LaneBlock* y,
                       LaneBlock* multipole, LaneBlock* local);
  /// z = (UᵀU)⁻¹ r.
  void (*factor_solve)(const IncompleteFactor& U, const LaneBlock* r, LaneBlock* z);
  /// The sum of a[i] b[i] over i, lane by lane, in ascending i.
  void (*dot)(const LaneBlock* a, const LaneBlock* b, int32_t n, LaneBlock* sum);
  /// x += α p and r −= α q; `norm` gets the sum of r[i]² over i, lane by lane.
  void (*update)(const LaneBlock* alpha, const LaneBlock* p, const LaneBlock* q, LaneBlock* x,
                 LaneBlock* r, int32_t n, LaneBlock* norm);
  /// p = z + β p.
  void (*next_direction)(const LaneBlock* beta, LaneBlock* p, const LaneBlock* z, int32_t n);
};

/// The kernels of one path; the caller makes sure the processor has it (processor_has).
const FineKernels& fine_kernels(InstructionSet set);

extern const FineKernels kFineKernelsSse2;
extern const FineKernels kFineKernelsAvx2;
extern const FineKernels kFineKernelsAvx512;

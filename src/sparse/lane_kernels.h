#pragma once

#include <cstdint>

#include "sparse/compact_arrays.h"

/// Right-hand sides solved side by side in one lane group.
constexpr int32_t kPcgLanes = 8;

/// The kPcgLanes values of one unknown, lane l belonging to the l-th solve of the group. Vectors
/// of a lane group are arrays of these, so one traversal of P or of the factor serves every lane.
struct alignas(64) Lanes {
  double lane[kPcgLanes];
};

/// The instruction-set paths the lane kernels are compiled for, narrowest first.
enum class InstructionSet : int32_t { sse2 = 0, avx2 = 1, avx512 = 2 };
constexpr int32_t kInstructionSetCount = 3;

/// The vector operations of conjugate gradients on lane groups. Every lane computes exactly what
/// the single-vector code computes: element-wise operations are the same IEEE operations, every
/// sum keeps its order, and a product that the single-vector code skips for a zero x component is
/// either skipped by a per-lane select or provably leaves the sum unchanged. The paths differ only
/// in register width, never in a bit of their results.
struct LaneKernels {
  /// y = P·x.
  void (*multiply)(const CompactSymmetric& P, Lanes* y, const Lanes* x);
  /// z = F⁻¹·r: the forward substitution, the pivots, the backward substitution.
  void (*solve_factored)(const CompactFactor& F, Lanes* z, const Lanes* r);
  /// sum = a·b lane by lane, added in ascending index order from 0.0.
  void (*dot)(Lanes& sum, const Lanes* a, const Lanes* b, int32_t n);
  /// x = α·p + x and r = r - α·q, in one pass.
  void (*update)(const Lanes& alpha, const Lanes* p, const Lanes* q, Lanes* x, Lanes* r, int32_t n);
  /// p = z in the lanes whose `restart` bits are all set, p = β·p + z in the others.
  void (*next_direction)(const Lanes& restart, const Lanes& beta, Lanes* p, const Lanes* z,
                         int32_t n);
};

/// The kernels of one path; the caller makes sure the processor has it (processor_has).
const LaneKernels& lane_kernels(InstructionSet set);

// One table per path, each in a file compiled for that instruction set.
extern const LaneKernels kLaneKernelsSse2;
extern const LaneKernels kLaneKernelsAvx2;
extern const LaneKernels kLaneKernelsAvx512;

#pragma once

#include <cstdint>

#include "common/instruction_set.h"
#include "sparse/blocked_sums.h"
#include "sparse/compact_arrays.h"
#include "sparse/split_share.h"

/// Lane groups come in these widths: right-hand sides solved side by side, sharing every
/// traversal of P and of the factor.
constexpr int32_t kQuarterLanes = 4;
constexpr int32_t kNarrowLanes = 8;
constexpr int32_t kWideLanes = 16;

/// The values of one unknown in a group of L solves, lane l belonging to the l-th solve. Vectors
/// of a lane group are arrays of these.
template <int32_t L>
struct alignas(L * sizeof(double) < 64 ? L * sizeof(double) : 64) Lanes {
  double lane[L];
};
static_assert(sizeof(Lanes<4>) == 4 * sizeof(double), "lane groups are packed without padding");

/// The matrices of the solves in the forms the kernels take: the flat copies by rows, whose
/// product and forward substitution scatter their terms, and, for groups whose vectors are too
/// large for the cache, the gathered sums of blocked_sums.h.
struct LaneMatrices {
  const CompactSymmetric* P;   // P by upper rows
  const CompactFactor* F;      // the factor by rows
  const BlockedSums* product;  // P gathered by rows of y, or null: scatter along P's rows
  const BlockedSums* forward;  // the forward substitution gathered, or null: scatter along U's
};

/// The vector operations of conjugate gradients on lane groups. Every lane computes exactly what
/// the single-vector code computes: element-wise operations are the same IEEE operations, every
/// sum keeps its order, and a product that the single-vector code skips for a zero x component is
/// either skipped by a per-lane select or provably leaves the sum unchanged. The paths differ only
/// in register width, never in a bit of their results.
template <int32_t L>
struct LaneKernels {
  /// y = P·x.
  void (*multiply)(const LaneMatrices& matrices, Lanes<L>* y, const Lanes<L>* x);
  /// z = F⁻¹·r: the forward substitution, the pivots, the backward substitution.
  void (*solve_factored)(const LaneMatrices& matrices, Lanes<L>* z, const Lanes<L>* r);
  /// sum = a·b lane by lane, added in ascending index order from 0.0.
  void (*dot)(Lanes<L>& sum, const Lanes<L>* a, const Lanes<L>* b, int32_t n);
  /// x = α·p + x and r = r - α·q, in one pass.
  void (*update)(const Lanes<L>& alpha, const Lanes<L>* p, const Lanes<L>* q, Lanes<L>* x,
                 Lanes<L>* r, int32_t n);
  /// p = z in the lanes whose `restart` bits are all set, p = β·p + z in the others.
  void (*next_direction)(const Lanes<L>& restart, const Lanes<L>& beta, Lanes<L>* p,
                         const Lanes<L>* z, int32_t n);

  /// y = P·x in the rows of y that one member of a team sums when the step of a group is split
  /// over the team (split_share.h).
  void (*multiply_share)(const LaneMatrices& matrices, const SplitShare& share, Lanes<L>* y,
                         const Lanes<L>* x);
};

/// The kernels of every group width on one path. A group narrower than the path's registers runs
/// on the widest narrower path (a group of 4 on the AVX-512 path runs the AVX2 kernels).
struct LaneKernelSet {
  LaneKernels<kQuarterLanes> quarter;
  LaneKernels<kNarrowLanes> narrow;
  LaneKernels<kWideLanes> wide;
};

/// The kernels of one path; the caller makes sure the processor has it (processor_has).
const LaneKernelSet& lane_kernels(InstructionSet set);

/// The widest lane group worth running on the path: two registers' worth of lanes, at least 8.
/// Wider groups share a traversal of P and the factor among more solves but move more lanes per
/// term, and measured on large structures they cost more per solve than they save.
int32_t widest_group_for(InstructionSet set);

// One table per path, each in a file compiled for that instruction set; the kernels of a group
// narrower than its registers are null there.
extern const LaneKernelSet kLaneKernelsSse2;
extern const LaneKernelSet kLaneKernelsAvx2;
extern const LaneKernelSet kLaneKernelsAvx512;

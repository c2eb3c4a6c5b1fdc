#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "fine/far_field/far_field.h"
#include "fine/solve/fine_kernels.h"
#include "fine/solve/incomplete_factor.h"
#include "fine/solve/near_field.h"
#include "sparse/lane_kernels.h"

/// The coefficient matrix of one level, its near part stored and its far part through
/// expansions, with the kernels of one instruction-set path.
struct LevelOperator {
  const NearField& near;
  const FarField& far;
  const FineKernels& kernels;
  InstructionSet instruction_set;  // the path of `kernels`
  int32_t cap;                     // highest degree of the far-field expansions this operator uses
};

/// Work space of the far field for one lane group.
struct FarFieldWork {
  explicit FarFieldWork(const FarField& far);
  std::unique_ptr<Lanes<kNarrowLanes>[]> multipole;  // far.block_count blocks, set by each product
  std::unique_ptr<Lanes<kNarrowLanes>[]> local;      // the same
};

/// y = P x.
void apply_operator(const LevelOperator& P, const Lanes<kNarrowLanes>* x, Lanes<kNarrowLanes>* y,
                    FarFieldWork& work);

/// The vectors of one lane-group solve, kept by a thread from one group to the next so that they
/// are allocated once.
struct LaneWork {
  LaneWork(const FarField& far, int32_t n);
  FarFieldWork far;  // the far field's expansions
  std::unique_ptr<Lanes<kNarrowLanes>[]> r, z, p,
      q;  // residual, preconditioned residual, direction, product
};

/// What a lane-group solve reports for each of its lanes.
struct LaneOutcome {
  int32_t iterations = 0;  // conjugate-gradient steps taken
  bool converged = false;  // the residual fell below the tolerance
};

/// Solves Q x = b for the lanes of a group by conjugate gradients with the incomplete factor as
/// preconditioner, each lane from its own start in x until its residual norm is at most
/// `tolerance` times the norm of its b (at most `max_iterations` steps); a lane whose b is zero
/// is done at once. On return x holds the solutions and y = P x.
///
/// Q may be a cheaper approximation of P (lower expansion orders): the capacitance computed
/// from x and P x is stationary in the error of x, so an error δ of Q shows in it only as δ².
/// Each lane's arithmetic is its own: the lanes beside it do not change a bit of it.
std::vector<LaneOutcome> solve_lanes(const LevelOperator& Q, const LevelOperator& P,
                                     const IncompleteFactor& factor, const Lanes<kNarrowLanes>* b,
                                     Lanes<kNarrowLanes>* x, Lanes<kNarrowLanes>* y,
                                     double tolerance, int32_t max_iterations, LaneWork& work);

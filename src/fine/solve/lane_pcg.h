#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "common/instruction_set.h"
#include "fine/far_field/far_field.h"
#include "fine/solve/level_preconditioner.h"
#include "fine/solve/near_field.h"
#include "fine/solve/near_kernels.h"
#include "sparse/lane_kernels.h"

/// The coefficient matrix of one level, its near part stored and its far part through
/// expansions cut at one degree, on one instruction-set path.
struct LevelOperator {
  const NearField& near;               // the near coefficients
  const FarField& far;                 // the far field
  InstructionSet instruction_set;      // the path of the kernels
  int32_t degree;                      // every far pair cut at this degree
  const SingleNear* single = nullptr;  // where set, the near product takes this copy of `near`
};

/// y = P x. With `threads` above 1, made by that many threads together (the near part beside
/// the far field's moments, then the far field's local expansions shared), with the same bits.
void apply_operator(const LevelOperator& P, const Lanes<kNarrowLanes>* x, Lanes<kNarrowLanes>* y,
                    FarFieldWork& work, int32_t threads = 1);

/// The vectors of one lane-group solve, kept by a thread from one group to the next so that they
/// are allocated once: kLaneWorkVectors vectors of n lane groups, the far field's work space and
/// the preconditioner's.
struct LaneWork {
  LaneWork(const FarField& far, const LevelPreconditioner& M, int32_t n);
  FarFieldWork far;                          // the far field's expansions
  int32_t threads = 1;                       // threads that make each product together
  std::unique_ptr<Lanes<kNarrowLanes>[]> b;  // right-hand sides, set by the caller
  std::unique_ptr<Lanes<kNarrowLanes>[]> x;  // solutions, set to the start by the caller
  std::unique_ptr<Lanes<kNarrowLanes>[]> y;  // P times the solutions
  std::unique_ptr<Lanes<kNarrowLanes>[]> r;  // residual
  std::unique_ptr<Lanes<kNarrowLanes>[]> z;  // preconditioned residual
  std::unique_ptr<Lanes<kNarrowLanes>[]> p;  // direction
  std::unique_ptr<Lanes<kNarrowLanes>[]> q;  // the operator times the direction
  std::unique_ptr<Lanes<kNarrowLanes>[]> preconditioner;  // the preconditioner's work space
};
constexpr int32_t kLaneWorkVectors = 7;

/// What a lane-group solve reports for each of its lanes.
struct LaneOutcome {
  int32_t iterations = 0;  // conjugate-gradient steps taken
  bool converged = false;  // the residual fell below the tolerance
  double residual = 0.0;   // GMRES: the residual norm |b − A x| it ended with
};

/// Solves Q x = b for the lanes of a group by conjugate gradients under the preconditioner M, each
/// lane from its own start in x until its residual norm is at most `tolerance` times the norm of
/// its b (at most `max_iterations` steps); a lane whose b is zero is done at once. On return x
/// holds the solutions and y = P x.
///
/// Q may be a cheaper approximation of P (a lower degree of the far field): the capacitance
/// computed from x and P x is stationary in the error of x, so an error δ of Q shows in it only as
/// δ². Each lane's arithmetic is its own: the lanes beside it do not change a bit of it. The steps
/// are vornax's lane kernels; the loop is not vornax's pcg_solve_lanes, which iterates one
/// operator from a zero start in the exact sequence vornax defines, where this one needs two
/// operators, a start from the level below and a tolerance relative to b.
std::vector<LaneOutcome> solve_lanes(const LevelOperator& Q, const LevelOperator& P,
                                     const LevelPreconditioner& M, const Lanes<kNarrowLanes>* b,
                                     Lanes<kNarrowLanes>* x, Lanes<kNarrowLanes>* y,
                                     double tolerance, int32_t max_iterations, LaneWork& work);

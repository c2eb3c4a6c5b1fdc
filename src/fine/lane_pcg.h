#pragma once

#include <cstdint>
#include <vector>

#include "fine/far_field.h"
#include "fine/incomplete_factor.h"
#include "fine/near_field.h"

/// The coefficient matrix of one level: its near part stored, its far part through expansions.
struct LevelOperator {
  const NearField& near;
  const FarField& far;
};

/// y = P x for `lanes` right-hand sides side by side.
void apply_operator(const LevelOperator& P, const double* x, double* y, int32_t lanes,
                    FarFieldWork& work);

/// What a lane-group solve reports for each of its lanes.
struct LaneOutcome {
  int32_t iterations = 0;  // conjugate-gradient steps taken
  bool converged = false;  // the residual fell below the tolerance
};

/// Solves P x = b for `lanes` right-hand sides side by side by conjugate gradients with the
/// incomplete factor as preconditioner, each lane from its own start in x until its residual
/// norm is at most `tolerance` times the norm of its b (at most `max_iterations` steps). On
/// return x holds the solutions and y = P x, computed afresh. Each lane's arithmetic is its
/// own: the lanes beside it do not change a bit of it.
std::vector<LaneOutcome> solve_lanes(const LevelOperator& P, const IncompleteFactor& factor,
                                     const double* b, double* x, double* y, int32_t lanes,
                                     double tolerance, int32_t max_iterations);

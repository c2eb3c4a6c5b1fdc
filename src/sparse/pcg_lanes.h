#pragma once

#include <cstdint>
#include <functional>

#include "sparse/compact_arrays.h"

/// Right-hand sides in flight at once in pcg_solve_lanes.
constexpr int32_t kPcgLanes = 8;

/// Solves P·x = b for `rhs_count` right-hand sides, each exactly as `pcg_solve` with the factor F
/// and a zero start does, step for step and bit for bit. In each of `thread_count` workers up to
/// kPcgLanes solves run side by side and share the traversals of P and F; a solve's result does
/// not depend on where or beside which others it runs.
/// `make_rhs(k, b)` fills the n-vector b with right-hand side k when its solve starts;
/// `take_solution(k, x, iterations)` receives the solution and the count `pcg_solve` would
/// return, or -1 (x then meaningless) where it gives up, and returns false to have no further
/// solve started. Right-hand sides start in ascending order, solutions arrive as solves end; the
/// callbacks are never run concurrently.
void pcg_solve_lanes(const CompactSymmetric& P, const CompactFactor& F, int32_t rhs_count,
                     const std::function<void(int32_t, double*)>& make_rhs,
                     const std::function<bool(int32_t, const double*, int32_t)>& take_solution,
                     double tolerance, int32_t thread_count);

#pragma once

#include <cstdint>

#include "fine/solve/general_system.h"

/// GMRES products each candidate of the conductor rows takes in the trial that chooses between
/// them.
constexpr int32_t kConductorRowsTrialSteps = 20;

/// Where `M` holds both the raised factor and the leaves' blocks, keeps the one whose residual
/// after kConductorRowsTrialSteps GMRES products on `b` from `start` (far field at `degree`) is
/// smaller, the blocks where both are equal, frees the other, and leaves in `start` where the
/// kept one's trial ended, so that its steps are not lost. `b` and `start` hold up to
/// kNarrowLanes solves, those the level begins with, so that the trial sees the error they leave
/// (on a fine level the start is the coarser level's solution); the lanes' largest residual
/// relative to their start's decides. Elsewhere `M` and `start` are left as they are. The same
/// choice and bits on any number of threads.
void choose_conductor_rows(const GeneralSystem& A, int32_t degree, const Lanes<kNarrowLanes>* b,
                           Lanes<kNarrowLanes>* start, BlockPreconditioner& M, int32_t threads);

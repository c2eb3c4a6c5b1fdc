#pragma once

#include <cstdint>

#include "sparse/lane_kernels.h"
#include "sparse/lane_workspace.h"
#include "sparse/split_plan.h"
#include "sparse/team_sync.h"

// One conjugate-gradient step of every lane of a group, run by the thread that owns the group
// alone, or split over the team of threads that have joined it (split_plan.h), with the same bits.

/// The matrices for groups of each width: gathered sums where the group's vectors are larger than
/// the cache, the flat copies alone where they fit.
struct MatricesByWidth {
  LaneMatrices quarter;  // for groups of kQuarterLanes
  LaneMatrices narrow;   // kNarrowLanes
  LaneMatrices wide;     // kWideLanes
};

/// A group's step as its owner sets it out for the members of its team. The owner changes it only
/// between steps; the members read it during one.
struct GroupStep {
  const LaneKernelSet* kernels = nullptr;     // the path's kernels
  const MatricesByWidth* matrices = nullptr;  // the matrices by group width
  const SplitPlans* plans = nullptr;          // the splits by team size; null: never split
  LaneWorkspace* work = nullptr;              // the group's vectors and the state of its lanes
  int32_t members = 1;                        // threads taking part in this step, the owner first
  TeamBarrier barrier;                        // between the parts of a split step
};

/// The step of the group of `width` lanes as member `member` of step.members: z = F⁻¹·r,
/// p = z (first step) or z + β·p, q = P·p, x = x + α·p, r = r - α·q in every lane. The owner
/// (member 0) receives each lane's r·z in rz, p·q in pq and the new r·r in rr.
void run_group_step(int32_t width, GroupStep& step, int32_t member, double* rz, double* pq,
                    double* rr);

#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "sparse/blocked_sums.h"
#include "sparse/compact_arrays.h"
#include "sparse/split_share.h"
#include "sparse/team_sync.h"

// How the step of one lane group is split over a team of threads, decided once before the solves
// for every team size that can occur. Each sum keeps its terms and their order, so a split step
// gives the bits of a whole one:
//
// - the product y = P·x: the rows of y in consecutive ranges of about equal terms; a member
//   gathers the terms its rows take from the rows before its range, then walks its own rows as
//   the whole product does, scattering their mirror terms only within its range;
// - the element-wise passes: the rows in ranges of equal length;
// - the substitutions of the factor stay with the group's own thread. Split row by row (each row
//   to one member, which waits for the rows of the others that it reads), they took as long on
//   two cores as on one: each value is made on one core and read on the other.

/// The split for one team size.
struct TeamPlan {
  int32_t members = 0;                  // team size; 0 where no plan was made
  std::vector<int32_t> element_bounds;  // members + 1 row bounds of the element-wise passes
  std::vector<SplitShare> shares;       // each member's share, pointing into the storage below
  std::vector<std::unique_ptr<BlockedSums>> product_cross;  // each member's terms from before
};

/// The splits of every team size from 2 to `largest_team` for P.
struct SplitPlans {
  SplitPlans(const CompactSymmetric& P, int32_t largest_team);
  SplitPlans(const SplitPlans&) = delete;
  SplitPlans& operator=(const SplitPlans&) = delete;

  /// The plan of `members` threads (2 .. largest_team).
  const TeamPlan& plan(int32_t members) const { return plans[members]; }

  int32_t largest_team;              // the largest team planned for
  TeamPlan plans[kLargestTeam + 1];  // by team size
};

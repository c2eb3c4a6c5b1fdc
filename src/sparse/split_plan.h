#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "sparse/blocked_sums.h"
#include "sparse/compact_arrays.h"
#include "sparse/row_schedule.h"
#include "sparse/split_share.h"

// How the step of one lane group is split over a team of threads, decided once before the solves
// for every team size that can occur. Each row's sum keeps its terms and their order, so a split
// step gives the bits of a whole one:
//
// - the product y = P·x: the rows of y in consecutive ranges of about equal terms; a member
//   gathers the terms its rows take from the rows before its range, then walks its own rows as
//   the whole product does, scattering their mirror terms only within its range;
// - the substitutions: every row to one member, which takes its rows in an order that never
//   reads an unfinished row of its own, and waits for those of the others. The rows are assigned
//   by list scheduling: a member that is free takes, of the rows whose inputs are done, the one
//   with the longest chain of work behind it (the row's terms and those of the rows waiting for it
//   in turn), as simulated with a row's cost taken as its terms;
// - the element-wise passes: the rows in ranges of equal length.

/// The split for one team size.
struct TeamPlan {
  int32_t members = 0;                  // team size; 0 where no plan was made
  std::vector<int32_t> element_bounds;  // members + 1 row bounds of the element-wise passes
  std::vector<SplitShare> shares;       // each member's share, pointing into the storage below
  std::vector<std::unique_ptr<BlockedSums>> product_cross;  // each member's terms from before
  std::vector<MemberRows> forward;                          // each member's forward rows
  std::vector<MemberRows> backward;                         // each member's backward rows
};

/// The splits of every team size from 2 to `largest_team` for P and its factor F.
struct SplitPlans {
  SplitPlans(const CompactSymmetric& P, const CompactFactor& F, int32_t largest_team);
  SplitPlans(const SplitPlans&) = delete;
  SplitPlans& operator=(const SplitPlans&) = delete;

  /// The plan of `members` threads (2 .. largest_team).
  const TeamPlan& plan(int32_t members) const { return plans[members]; }

  int32_t largest_team;                        // the largest team planned for
  std::unique_ptr<BlockedSums> forward_terms;  // segment i: the forward terms of z(i)
  TeamPlan plans[kLargestTeam + 1];            // by team size
};

/// The factor's entries U(j, i) by columns: segment i holds the terms of z(i) in the forward
/// substitution, j ascending, one segment for every row (empty where there is none).
std::unique_ptr<BlockedSums> forward_terms_by_row(const CompactFactor& F);

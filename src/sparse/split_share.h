#pragma once

#include <cstdint>

#include "sparse/blocked_sums.h"
#include "sparse/team_sync.h"

// What one thread of a team needs to run its share of a lane group's step, when the step of one
// group is split over several threads (split_plan.h). Every row's sum keeps its terms and their
// order; only who computes which rows, and when, changes.

/// The rows one member takes in one substitution, in its order, and what it waits for: before the
/// row at position k it waits until member wait_member[w] has finished wait_count[w] rows of its
/// own list, for w in wait_start[k] .. wait_start[k+1]-1 (only waits that earlier ones do not
/// already imply are listed).
struct RowOrder {
  int32_t count = 0;                     // rows in the list
  const int32_t* rows = nullptr;         // the rows, in order
  const int32_t* wait_start = nullptr;   // count + 1 offsets into the waits
  const int32_t* wait_member = nullptr;  // whose counter each wait reads
  const int32_t* wait_count = nullptr;   // the rows of that member's list it waits for
};

/// One member's share of a split step.
struct SplitShare {
  int32_t member = 0;                          // its index in the team, 0 for the group's own
  int32_t product_first_row = 0;               // the rows of y = P·x it sums: first ..
  int32_t product_end_row = 0;                 // .. and one past the last
  const BlockedSums* product_cross = nullptr;  // the terms its rows take from the rows before
  const BlockedSums* forward_terms = nullptr;  // segment i: the forward terms of z(i), j ascending
  RowOrder forward;                            // its rows of the forward substitution
  RowOrder backward;                           // its rows of the backward substitution
  TeamProgress* progress = nullptr;            // the team's counters
};

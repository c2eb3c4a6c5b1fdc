#pragma once

#include <cstdint>

#include "sparse/blocked_sums.h"

// What one thread of a team needs to run its share of a lane group's step, when the step of one
// group is split over several threads (split_plan.h). Every sum keeps its terms and their order;
// only who computes which rows changes.

/// One member's share of a split step: its rows of the product.
struct SplitShare {
  int32_t member = 0;                          // its index in the team, 0 for the group's own
  int32_t product_first_row = 0;               // the rows of y = P·x it sums: first ..
  int32_t product_end_row = 0;                 // .. and one past the last
  const BlockedSums* product_cross = nullptr;  // the terms its rows take from the rows before
};

#pragma once

#include <cstdint>
#include <vector>

#include "sparse/split_share.h"

// The rows of a substitution shared among the members of a team. A row's sum reads other rows'
// final values, so a member takes its rows in an order in which its own inputs come first, and
// waits before a row for the inputs that other members compute.

/// For each of n rows, the rows it is linked to: index[start[i]] .. index[start[i+1]-1].
struct RowLinks {
  const int64_t* start;  // n + 1 offsets
  const int32_t* index;  // the linked rows
};

/// One member's rows of a substitution in its order, and its waits, for a RowOrder to point to.
struct MemberRows {
  std::vector<int32_t> rows;         // the rows in order
  std::vector<int32_t> wait_start;   // rows + 1 offsets of each row's waits
  std::vector<int32_t> wait_member;  // the member each wait reads
  std::vector<int32_t> wait_count;   // rows of that member's list it waits for

  /// The list as the kernels take it.
  RowOrder order() const;
};

/// Shares out n rows among `members` members: row i reads the rows `inputs` lists for it and is
/// read by those `readers` lists, and costs a fixed amount plus one per input. By list scheduling
/// (see split_plan.h): members take ready rows longest chain first, as simulated, ties going to
/// the row that comes first in `ascending` (true: lower rows first) or descending order.
std::vector<MemberRows> schedule_rows(int32_t n, RowLinks inputs, RowLinks readers, bool ascending,
                                      int32_t members);

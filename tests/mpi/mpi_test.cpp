// The bookkeeping of the shared solves, without MPI: which conductors go out when, how many
// threads a rank gets, and the header that tells a worker what is coming.
#include <gtest/gtest.h>

#include <cmath>

#include "mpi/array_broadcast.h"
#include "mpi/group_dispenser.h"
#include "mpi/node_share.h"

TEST(GroupDispenser, HandsOutLaneGroupsInOrderAndNoneAboveAFailure) {
  GroupDispenser groups;
  groups.conductor_count = 20;
  int32_t first = -1;
  int32_t count = -1;
  ASSERT_TRUE(groups.take(first, count));
  EXPECT_EQ(0, first);
  EXPECT_EQ(8, count);
  ASSERT_TRUE(groups.take(first, count));
  EXPECT_EQ(8, first);
  // Conductor 9 gives up: the last group, 16 .. 19, is nobody's business any more.
  groups.note_failure(-1);
  EXPECT_EQ(-1, groups.failure());
  groups.note_failure(12);
  groups.note_failure(9);
  groups.note_failure(15);
  EXPECT_EQ(9, groups.failure());
  EXPECT_FALSE(groups.take(first, count));

  GroupDispenser last;
  last.conductor_count = 20;
  last.note_failure(16);  // the failure starts the last group, which must still go out
  ASSERT_TRUE(last.take(first, count) && last.take(first, count) && last.take(first, count));
  EXPECT_EQ(16, first);
  EXPECT_EQ(4, count);
  EXPECT_FALSE(last.take(first, count));

  ConductorBatch batch{16, 18};
  EXPECT_EQ(16, batch.take());
  EXPECT_EQ(17, batch.take());
  EXPECT_EQ(-1, batch.take());
}

TEST(NodeShare, CoresAreDividedAmongTheNodesRanksAndCappedByTheSetting) {
  EXPECT_EQ(8, threads_per_rank(8, 1, nullptr));
  EXPECT_EQ(4, threads_per_rank(8, 2, nullptr));
  EXPECT_EQ(2, threads_per_rank(8, 3, nullptr));
  EXPECT_EQ(1, threads_per_rank(2, 3, nullptr));  // more ranks than cores: one each
  EXPECT_EQ(1, threads_per_rank(0, 1, nullptr));  // cores unknown
  EXPECT_EQ(3, threads_per_rank(8, 2, "3"));
  EXPECT_EQ(4, threads_per_rank(8, 2, "6"));  // a cap, never a raise
  EXPECT_EQ(4, threads_per_rank(8, 2, "0"));
  EXPECT_EQ(4, threads_per_rank(8, 2, "many"));
  EXPECT_EQ(5, threads_per_rank(0, 1, "5"));
}

TEST(SolveHeader, SurvivesItsMessageExactly) {
  SolveHeader header;
  header.n = 65792;
  header.p_entries = int64_t{3} << 33;
  header.factor_entries = 8463050;
  header.level_count = 4097;
  header.conductor_count = 256;
  header.tolerance = 0.425 * 16 * 1.1;
  header.all_finite = false;
  const SolveHeader back = header_from_message(header_message(header));
  EXPECT_EQ(header.n, back.n);
  EXPECT_EQ(header.p_entries, back.p_entries);
  EXPECT_EQ(header.factor_entries, back.factor_entries);
  EXPECT_EQ(header.level_count, back.level_count);
  EXPECT_EQ(header.conductor_count, back.conductor_count);
  EXPECT_EQ(header.tolerance, back.tolerance);
  EXPECT_FALSE(back.all_finite);
}

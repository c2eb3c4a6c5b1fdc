// The bookkeeping of the shared solves, without MPI: which conductors go out when, how many
// threads a rank gets, and the header that tells a worker what is coming.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "common/thread_count.h"
#include "mpi/array_broadcast.h"
#include "mpi/group_dispenser.h"
#include "mpi/node_share.h"
#include "sparse/lane_kernels.h"

TEST(GroupDispenser, HandsOutGroupsInOrderAsWideAsAskedAndNoneAboveAFailure) {
  GroupDispenser groups;
  groups.conductor_count = 20;
  int32_t first = -1;
  int32_t count = -1;
  ASSERT_TRUE(groups.take(8, first, count));
  EXPECT_EQ(0, first);
  EXPECT_EQ(8, count);
  ASSERT_TRUE(groups.take(4, first, count));  // a rank of narrower groups
  EXPECT_EQ(8, first);
  EXPECT_EQ(4, count);
  // Conductor 9 gives up: the rest, 12 .. 19, is nobody's business any more.
  groups.note_failure(-1);
  EXPECT_EQ(-1, groups.failure());
  groups.note_failure(11);
  groups.note_failure(9);
  groups.note_failure(10);
  EXPECT_EQ(9, groups.failure());
  EXPECT_FALSE(groups.take(8, first, count));

  GroupDispenser last;
  last.conductor_count = 20;
  last.note_failure(16);  // the failure starts the last group, which must still go out
  ASSERT_TRUE(last.take(16, first, count));
  ASSERT_TRUE(last.take(16, first, count));
  EXPECT_EQ(16, first);
  EXPECT_EQ(4, count);  // only four are left
  EXPECT_FALSE(last.take(16, first, count));

  ConductorBatch batch{16, 18};
  EXPECT_EQ(16, batch.take());
  EXPECT_EQ(17, batch.take());
  EXPECT_EQ(-1, batch.take());
}

TEST(NodeShare, CoresAreDividedAmongTheNodesRanksAndCappedByTheSetting) {
  // Groups as the single-process engine makes them for the whole job's threads: 64 solves on
  // 16 threads fit groups of 4, on 8 threads groups of 8, on 2 threads the widest the path runs.
  EXPECT_EQ(kQuarterLanes, job_group_width(64, 16, InstructionSet::avx512));
  EXPECT_EQ(kNarrowLanes, job_group_width(64, 8, InstructionSet::avx512));
  EXPECT_EQ(kWideLanes, job_group_width(64, 2, InstructionSet::avx512));
  EXPECT_EQ(kNarrowLanes, job_group_width(64, 2, InstructionSet::sse2));

  EXPECT_EQ(8, threads_for_cpus(8.0 / 1, nullptr));
  EXPECT_EQ(4, threads_for_cpus(8.0 / 2, nullptr));
  EXPECT_EQ(2, threads_for_cpus(8.0 / 3, nullptr));
  EXPECT_EQ(1, threads_for_cpus(2.0 / 3, nullptr));  // more ranks than cores: one each
  EXPECT_EQ(1, threads_for_cpus(0.0 / 1, nullptr));  // cores unknown
  EXPECT_EQ(3, threads_for_cpus(8.0 / 2, "3"));
  EXPECT_EQ(4, threads_for_cpus(8.0 / 2, "6"));  // a cap, never a raise
  EXPECT_EQ(4, threads_for_cpus(8.0 / 2, "0"));
  EXPECT_EQ(4, threads_for_cpus(8.0 / 2, "many"));
  EXPECT_EQ(5, threads_for_cpus(0.0 / 1, "5"));
}

TEST(NodeShare, EachCpuIsDividedAmongTheRanksWhoseMasksHoldIt) {
  const std::vector<int32_t> all = {0, 1, 2, 3, 4, 5, 6, 7, 8};
  EXPECT_EQ(3, threads_for_cpus(shared_cpus(all, {all, all, all}), nullptr));  // unbound ranks
  EXPECT_EQ(2.0, shared_cpus({0, 1}, {{0, 1}, {2, 3}}));                       // bound apart
  EXPECT_EQ(3.0, shared_cpus({0, 1, 2, 3}, {{0, 1, 2, 3}, {2, 3}}));           // overlapping
  EXPECT_EQ(1.0, shared_cpus({2, 3}, {{0, 1, 2, 3}, {2, 3}}));
}

TEST(SolveHeader, SurvivesItsMessageExactly) {
  SolveHeader header;
  header.n = 65792;
  header.p_entries = int64_t{3} << 33;
  header.factor_entries = 8463050;
  header.conductor_count = 256;
  header.tolerance = 0.425 * 16 * 1.1;
  header.all_finite = false;
  const SolveHeader back = header_from_message(header_message(header));
  EXPECT_EQ(header.n, back.n);
  EXPECT_EQ(header.p_entries, back.p_entries);
  EXPECT_EQ(header.factor_entries, back.factor_entries);
  EXPECT_EQ(header.conductor_count, back.conductor_count);
  EXPECT_EQ(header.tolerance, back.tolerance);
  EXPECT_FALSE(back.all_finite);
}

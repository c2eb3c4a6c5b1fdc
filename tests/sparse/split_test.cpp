// Steps of one lane group shared by a team of threads: the same bits as pcg_solve, a schedule that
// reads only final rows, and the pace that keeps a group alone where sharing does not pay.

#include <gtest/gtest.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "capacitance/conductor_columns.h"
#include "common/instruction_set.h"
#include "model/capacitance_extractor.h"
#include "sparse/compact_arrays.h"
#include "sparse/incomplete_cholesky.h"
#include "sparse/lane_workspace.h"
#include "sparse/parked_solves.h"
#include "sparse/pcg_lanes.h"
#include "sparse/sharing_pace.h"
#include "sparse/solve_teams.h"
#include "sparse/split_plan.h"

namespace {

// P and its factor of a structure that vornax-gen makes with `arguments`.
struct GeneratedSystem {
  explicit GeneratedSystem(const std::string& arguments) {
    char name[] = "/tmp/vornax-split-XXXXXX";
    const int file = mkstemp(name);
    close(file);
    const std::string command = "'" VORNAX_GEN_BINARY "' " + arguments + " > '" + name + "'";
    generated = std::system(command.c_str()) == 0 && extractor.read_panel_file(name) &&
                extractor.refine_all_pairs();
    std::remove(name);
    if (!generated) return;
    extractor.number_unknowns();
    generated = extractor.add_same_origin_pairs();
    extractor.assemble_p_matrix();
    int32_t failed_row = -1;
    extractor.factor = incomplete_cholesky(*extractor.p_matrix, failed_row, 0.0);
    generated = generated && extractor.factor != nullptr;
  }

  CapacitanceExtractor extractor;  // the passes up to the factor
  bool generated = false;          // the structure and its factor are there
};

}  // namespace

TEST(PcgLanes, StepsSharedByTwoToFourThreadsGiveTheBitsOfPcgSolveOnBusesAndRandomBoxes) {
  // More right-hand sides than lanes, the excitations of the conductors scaled by powers of ten,
  // so that under the absolute tolerance the solves take from a few steps to a few dozen: solves
  // are set aside and taken up again, groups narrow and hand their lanes over to others, and the
  // threads of the groups that have ended share the steps of the others.
  const int32_t count = 29;
  for (const char* structure : {"bus 3", "random 9 --seed 4"}) {
    SCOPED_TRACE(structure);
    GeneratedSystem system(structure);
    ASSERT_TRUE(system.generated);
    CapacitanceExtractor& ex = system.extractor;
    const int32_t n = ex.unknown_count;
    const int32_t m = static_cast<int32_t>(ex.conductor_count);
    auto make_rhs = [&](int32_t k, double* b) {
      conductor_excitation(k % m, n, b);
      for (int32_t i = 0; i < n; ++i) b[i] *= std::pow(10.0, k % 7 - 2);
    };
    // Every solve on its own, as the scalar code defines it.
    std::vector<std::vector<double>> expected(count, std::vector<double>(n, 0.0));
    std::vector<int32_t> expected_iterations(count);
    std::vector<double> b(n), p(n), r(n), z(n), q(n);
    for (int32_t k = 0; k < count; ++k) {
      make_rhs(k, b.data());
      expected_iterations[k] =
          ex.factor->pcg_solve(expected[k].data(), *ex.p_matrix, b.data(), p.data(), r.data(),
                               z.data(), q.data(), ex.pcg_tolerance);
    }
    const CompactSymmetric cp(*ex.p_matrix);
    const CompactFactor cf(*ex.factor);
    for (InstructionSet path : {InstructionSet::sse2, best_instruction_set()}) {
      for (int32_t widest : {kQuarterLanes, kWideLanes}) {
        for (int32_t threads = 1; threads <= 4; ++threads) {
          SCOPED_TRACE(std::string(instruction_set_name(path)) + ", groups of up to " +
                       std::to_string(widest) + ", " + std::to_string(threads) + " threads");
          LaneSolveSettings settings;
          settings.thread_count = threads;
          settings.instruction_set = path;
          settings.widest_group = widest;
          settings.split_above_entries = 0;
          settings.split_every_step = true;
          std::vector<int32_t> iterations(count, -2);
          std::vector<std::vector<double>> x(count);
          const int32_t failure = pcg_solve_lanes(
              cp, cf, count, make_rhs,
              [&](int32_t k, const double* solution, int32_t steps) {
                iterations[k] = steps;
                x[k].assign(solution, solution + n);
              },
              ex.pcg_tolerance, settings);
          EXPECT_EQ(-1, failure);
          EXPECT_EQ(expected_iterations, iterations);
          for (int32_t k = 0; k < count; ++k) {
            ASSERT_EQ(static_cast<std::size_t>(n), x[k].size()) << k;
            EXPECT_EQ(0, std::memcmp(expected[k].data(), x[k].data(), n * sizeof(double))) << k;
          }
        }
      }
    }
  }
}

TEST(SharingPace, ASharedStepSlowerThanOneAloneSendsTheGroupBackAloneForLongerEachTime) {
  SharingPace pace;
  auto step = [&](int32_t lanes, int32_t available, double seconds) {
    const int32_t members = pace.choose(lanes, available);
    pace.record(seconds);
    return members;
  };
  EXPECT_EQ(1, step(8, 1, 1.0));  // nobody to share with
  EXPECT_EQ(2, step(8, 2, 0.6));  // faster than the 1.0 alone
  EXPECT_EQ(2, step(8, 2, 1.5));  // slower: four steps alone follow
  for (int32_t k = 0; k < SharingPace::kFirstBackoff; ++k) EXPECT_EQ(1, step(8, 2, 1.0));
  EXPECT_EQ(2, step(8, 2, 1.2));  // slower again: eight alone
  for (int32_t k = 0; k < 2 * SharingPace::kFirstBackoff; ++k) EXPECT_EQ(1, step(8, 2, 1.0));
  EXPECT_EQ(3, step(8, 3, 0.5));
  // A narrower group starts with a step alone, to time.
  EXPECT_EQ(1, step(4, 3, 0.7));
  EXPECT_EQ(3, step(4, 3, 0.4));
  pace.always = true;
  EXPECT_EQ(2, step(4, 2, 9.0));
  EXPECT_EQ(2, step(4, 2, 9.0));
}

TEST(ParkedSolves, TheSolveWithTheLargestLeastResidualBelowTheBoundComesFirst) {
  const int32_t n = 3;
  LaneWorkspace work(n, kQuarterLanes);
  ParkedSolves parked(n, 3);
  // Lanes 0 .. 2 hold right-hand sides 5, 2 and 7; x, r and p differ in every lane and unknown.
  const double least[] = {0.5, 4.0, 4.0};
  const int32_t rhs[] = {5, 2, 7};
  for (int32_t l = 0; l < 3; ++l) {
    work.lane[l] = fresh_lane(rhs[l]);
    work.lane[l].least_residual = least[l];
    for (int32_t i = 0; i < n; ++i) {
      work.xs[i * kQuarterLanes + l] = 10 * l + i;
      work.rs[i * kQuarterLanes + l] = -10 * l - i;
      work.ps[i * kQuarterLanes + l] = 0.5 * l + i;
    }
    const int32_t slot = parked.reserve();
    ASSERT_GE(slot, 0);
    parked.store(slot, work, kQuarterLanes, l);
    parked.publish(slot);
  }
  EXPECT_EQ(-1, parked.reserve());
  EXPECT_FALSE(parked.waiting_below(2));
  EXPECT_TRUE(parked.waiting_below(3));
  // Below 6, right-hand side 2 (4.0) comes before 5 (0.5); 7 ties with 2 and comes after it.
  LaneWorkspace other(n, kNarrowLanes);
  std::vector<int32_t> order;
  for (int32_t bound : {6, 6, 6, 100, 100}) {
    const int32_t slot = parked.take_longest(bound);
    if (slot < 0) {
      order.push_back(-1);
      continue;
    }
    parked.load(slot, other, kNarrowLanes, 5);
    parked.release(slot);
    order.push_back(other.lane[5].rhs);
    const int32_t l = other.lane[5].rhs == 5 ? 0 : other.lane[5].rhs == 2 ? 1 : 2;
    for (int32_t i = 0; i < n; ++i) {
      EXPECT_EQ(10 * l + i, other.xs[i * kNarrowLanes + 5]);
      EXPECT_EQ(-10 * l - i, other.rs[i * kNarrowLanes + 5]);
      EXPECT_EQ(0.5 * l + i, other.ps[i * kNarrowLanes + 5]);
    }
  }
  EXPECT_EQ((std::vector<int32_t>{2, 5, -1, 7, -1}), order);
  EXPECT_GE(parked.reserve(), 0);
}

TEST(TeamBoard, AGroupHandsItsLanesToTheFullestGroupWithRoomUnlessThatOneEnds) {
  TeamBoard board(4, 4, 1);
  std::vector<std::unique_ptr<LaneWorkspace>> work;
  const int32_t busy[] = {5, 2, 3, 8};
  for (int32_t g = 0; g < 4; ++g) {
    work.push_back(std::make_unique<LaneWorkspace>(10, kNarrowLanes));
    board.team(g).step.work = work.back().get();
    board.team(g).busy = busy[g];
    EXPECT_EQ(g, board.enter());
  }
  // Group 1's two lanes go to group 0, the fullest with room for them (group 3 has none).
  EXPECT_EQ(0, board.offer_lanes(1, 2, kNarrowLanes));
  // While that offer stands, neither group 0 nor group 1 takes another.
  EXPECT_EQ(-1, board.offer_lanes(2, 3, kNarrowLanes));
  EXPECT_EQ(Handover::waiting, board.handover(1));
  int32_t width = 0;
  EXPECT_EQ(1, board.offered_to(0, width));
  EXPECT_EQ(kNarrowLanes, width);
  board.take_offer(0);
  EXPECT_EQ(Handover::taken, board.handover(1));
  EXPECT_EQ(-1, board.offered_to(0, width));
  board.end(1);
  // Group 2 hands its lanes to group 0 once that one has room, and keeps them when group 0 ends
  // before taking them.
  board.team(0).busy = 7;
  EXPECT_EQ(-1, board.offer_lanes(2, 3, kNarrowLanes));
  board.team(0).busy = 4;
  EXPECT_EQ(0, board.offer_lanes(2, 3, kNarrowLanes));
  board.end(0);
  EXPECT_EQ(Handover::withdrawn, board.handover(2));
  // A group gives to one with at least as many busy lanes only, ties to the lower group.
  board.team(2).busy = 2;
  board.team(3).busy = 2;
  EXPECT_EQ(-1, board.offer_lanes(2, 2, kNarrowLanes));
  EXPECT_EQ(2, board.offer_lanes(3, 2, kNarrowLanes));
}

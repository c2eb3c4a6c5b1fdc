// The layered kernels' share of the estimate: the fit's tolerance from a first level's matrix,
// worked out by hand, and a stack whose smallest counted coupling is a few hundredths of its row
// and far below the geometric mean of its two diagonal entries, which must reach the accuracy.
#include "fine/program/kernel_floor.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "dielectric_cases.h"

TEST(KernelFloor, TheFitsToleranceFollowsTheSmallestCountedEntryAgainstItsDiagonals) {
  // C(0, 1) = -1 is 1 % of row 0 and 25 % of row 1; over (100 · 4)^½ it is 0.05. A tenth of the
  // accuracy on it, halved: 0.5 · 0.1 · 0.01 · 0.05 = 2.5e-5, below the default 2e-4.
  const std::vector<double> full = {100, -1, -1, 4};
  EXPECT_NEAR(2.5e-5, kernel_tolerance_for_matrix(0.01, full, 2, {}), 1e-18);
  // Row 0 alone: the column without a row is weighed by row 0's diagonal, 1 / 100.
  EXPECT_NEAR(5e-6, kernel_tolerance_for_matrix(0.01, {100, -1}, 2, {0}), 1e-18);
  // Entries under half a percent of their row do not count; large ones keep the default.
  EXPECT_NEAR(2e-4, kernel_tolerance_for_matrix(0.01, {100, -0.4, -0.4, 100}, 2, {}), 1e-18);
  EXPECT_NEAR(2e-4, kernel_tolerance_for_matrix(0.01, {10, -5, -5, 10}, 2, {}), 1e-18);
  // Never below a hundredth of the default: 0.01 / (1 · 1e6)^½ would ask for 5e-9.
  EXPECT_NEAR(2e-6, kernel_tolerance_for_matrix(0.01, {1, -0.01, -0.01, 1e6}, 2, {}), 1e-18);
}

namespace {

// Three oxides (εr 3.9 to z = 1, 2.7 to 2, 4.2 above) over a ground slab: a wide plate in the
// second, a wire and a small block in the first. The block's coupling to the plate is a few % of
// the block's row, and under a hundredth of the geometric mean of their diagonal entries.
std::string small_block() {
  return cap3d({3.9, 2.7, 4.2}, {1, 2},
               box("plate", 0, -5.6, 1.2, 6, 6, 0.3) + box("wire", 0, 0.8, 0.5, 6, 0.4, 0.3) +
                   box("block", 2.95, 3.6, 0.5, 0.1, 0.1, 0.3) +
                   box("ground", -1, -6.6, -1, 8, 10, 1));
}

}  // namespace

TEST(KernelFloor, ASmallCouplingInAStackReachesTheAccuracyWithinItsEstimate) {
  const FineResult coarse = extract(read(small_block()));
  ASSERT_EQ(FineEnd::reached, coarse.end);
  const ConvergenceEstimate& e = coarse.estimate;
  const double plate = e.value[0], block = e.value[10], coupling = -e.value[8];
  ASSERT_TRUE(e.significant[8]);
  EXPECT_LT(coupling, 0.08 * block);
  // With the fit of a fiftieth of the accuracy (bound 1.06e-4 for these layers), the floor on this
  // entry alone, 1.06e-4 (C(block) C(plate))^½ / C(block, plate), was above the accuracy.
  EXPECT_GT(1.06e-4 * std::sqrt(block * plate) / coupling, 0.01);
  EXPECT_LE(e.largest_relative_error, 0.01);
  // A run to half the accuracy converges further: the first estimate must cover the way.
  FineOptions options;
  options.accuracy = 0.005;
  options.threads = 2;
  const FineResult fine = extract_fine(read(small_block()), options);
  ASSERT_EQ(FineEnd::reached, fine.end);
  expect_rows(coarse, fine.estimate.value, 0.0, fine.estimate.error.data());
}

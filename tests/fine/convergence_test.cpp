// The extrapolation over the levels and its error estimate on made-up sequences of matrices:
// entries that converge like m^-3 (the rate the extrapolation assumes), like m^-2 (the slowest
// it covers), and entries that turn.
#include "fine/estimate/convergence.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

namespace {

/// One-conductor matrices e(m) = limit + a m^-rate at the levels m.
std::vector<std::vector<double>> sequence(const std::vector<int32_t>& levels, double limit,
                                          double a, double rate) {
  std::vector<std::vector<double>> matrices;
  for (int32_t m : levels) matrices.push_back({limit + a * std::pow(m, -rate)});
  return matrices;
}

const std::vector<int32_t> kLevels = {2, 3, 4};

}  // namespace

TEST(Convergence, ARateOfMinusThreeIsExtrapolatedToItsLimit) {
  const ConvergenceEstimate estimate =
      estimate_convergence(kLevels, sequence(kLevels, 100.0, -40.0, 3), 1, 0.0);
  EXPECT_NEAR(100.0, estimate.value[0], 1e-12);
  // Half again the correction of the slower rate: 1.5 (e(4) − e(3)) / ((4/3)² − 1), by hand
  // 1.5 · 40 (1/27 − 1/64) / (7/9) = 1.6183...
  EXPECT_NEAR(1.5 * 40.0 * (1.0 / 27 - 1.0 / 64) / (7.0 / 9), estimate.error[0], 1e-12);
  EXPECT_NEAR(estimate.error[0] / 100.0, estimate.largest_relative_error, 1e-15);
}

TEST(Convergence, ARateOfMinusTwoStaysWithinItsEstimate) {
  for (double a : {-40.0, 40.0}) {
    const ConvergenceEstimate estimate =
        estimate_convergence(kLevels, sequence(kLevels, 100.0, a, 2), 1, 0.0);
    const double last_error = std::fabs(a) / 16;  // of e(4), the matrix of the last level
    const double true_error = std::fabs(estimate.value[0] - 100.0);
    EXPECT_LE(true_error, last_error * (1 + 1e-12)) << a;
    EXPECT_LE(true_error, estimate.error[0]) << a;
    EXPECT_NEAR(1.5 * last_error, estimate.error[0], 1e-12) << a;  // the slow correction is it
  }
}

TEST(Convergence, AnEntryThatTurnsKeepsItsLastValueAndTheSlowEstimate) {
  // Up by 0.5, then down by 0.1: no rate explains it.
  const ConvergenceEstimate estimate =
      estimate_convergence(kLevels, {{10.0}, {10.5}, {10.4}}, 1, 0.0);
  EXPECT_EQ(10.4, estimate.value[0]);
  EXPECT_NEAR(1.5 * 0.1 / (7.0 / 9), estimate.error[0], 1e-12);
}

TEST(Convergence, TheFloorAddsToEveryEntryAndSmallEntriesDoNotCount) {
  // Two conductors converged already: only the floor, times √(C11 C22) off the diagonal.
  const std::vector<double> c = {400.0, -1.0, -1.0, 100.0};
  const ConvergenceEstimate estimate = estimate_convergence(kLevels, {c, c, c}, 2, 1e-6);
  EXPECT_EQ(c, estimate.value);
  EXPECT_NEAR(400e-6, estimate.error[0], 1e-18);
  EXPECT_NEAR(200e-6, estimate.error[1], 1e-18);
  EXPECT_NEAR(100e-6, estimate.error[3], 1e-18);
  // −1 is below 1 % of 400 but not of 100: C12 counts in the second row only.
  EXPECT_EQ(std::vector<char>({1, 0, 1, 1}), estimate.significant);
  EXPECT_NEAR(200e-6, estimate.largest_relative_error, 1e-15);  // C21: 200e-6 / 1
}

TEST(Convergence, FewerThanThreeLevelsAreNotTrusted) {
  const ConvergenceEstimate estimate = estimate_convergence({1, 2}, {{10.0}, {10.5}}, 1, 0.0);
  EXPECT_EQ(10.5, estimate.value[0]);
  EXPECT_TRUE(std::isinf(estimate.error[0]));
  EXPECT_TRUE(std::isinf(estimate.largest_relative_error));
  EXPECT_EQ(0.0, largest_relative_change({{10.0}}, 1));
  EXPECT_NEAR(0.5 / 10.5, largest_relative_change({{10.0}, {10.5}}, 1), 1e-15);
}

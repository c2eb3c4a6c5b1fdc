// The extrapolation over the levels and its error estimate on made-up sequences of matrices:
// entries that converge like m^-3 (the rate the extrapolation assumes), like m^-2 (the slowest
// it covers), entries whose first level is far off, and entries that turn.
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
  // The changes show the rate m^-3: half again its own correction, 1.5 (e(4) − e(3)) /
  // ((4/3)³ − 1), by hand 1.5 · 40 (1/27 − 1/64) / (37/27) = 0.9375.
  EXPECT_NEAR(1.5 * 40.0 * (1.0 / 27 - 1.0 / 64) / (37.0 / 27), estimate.error[0], 1e-12);
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

TEST(Convergence, RatesNearMinusThreeAreCoveredForMinusThreeOnly) {
  // 1, 2, 3 as the kit's cells begin: e(m) = 100 − 40 m^-p. The value extrapolated with m^-3
  // misses the limit by 40 (2^-p − 3^-p) |1/(1.5^p − 1) − 1/(1.5³ − 1)|, by hand 0.49 at p = 2.6
  // and 0.35 at p = 4.4, against the estimate 1.5 · 40 (2^-p − 3^-p) / (1.5³ − 1): 2.7 and 1.0.
  // Outside the band (2.4, 4.6) the slow rate's estimate: 1.5 · change / (1.5² − 1).
  const std::vector<int32_t> levels = {1, 2, 3};
  for (double rate : {2.4, 2.6, 3.0, 4.4, 4.6}) {
    const ConvergenceEstimate estimate =
        estimate_convergence(levels, sequence(levels, 100.0, -40.0, rate), 1, 0.0);
    const double last_change = 40.0 * (std::pow(2.0, -rate) - std::pow(3.0, -rate));
    const double divisor = rate > 2.5 && rate < 4.5 ? 19.0 / 8 : 1.25;
    EXPECT_NEAR(1.5 * last_change / divisor, estimate.error[0], 1e-12) << rate;
    EXPECT_LE(std::fabs(estimate.value[0] - 100.0), estimate.error[0]) << rate;
  }
}

TEST(Convergence, AFirstLevelFarOffDoesNotPassForFastConvergence) {
  // e(m) = 100 − 40 m^-1.3 − 400 m^-8: the first change is mostly the m^-8 term, so the two
  // changes look like a rate of about 6 (ratio 0.019) while the entry converges like m^-1.3.
  // By hand, the extrapolated value is 6.2 below the limit: the slow estimate (9.8) covers it,
  // the m^-3 one (5.2) would not.
  const std::vector<int32_t> levels = {1, 2, 3};
  std::vector<std::vector<double>> matrices;
  for (int32_t m : levels)
    matrices.push_back({100.0 - 40.0 * std::pow(m, -1.3) - 400.0 * std::pow(m, -8)});
  const ConvergenceEstimate estimate = estimate_convergence(levels, matrices, 1, 0.0);
  EXPECT_LE(std::fabs(estimate.value[0] - 100.0), estimate.error[0]);
  const double last_change = matrices[2][0] - matrices[1][0];
  EXPECT_NEAR(1.5 * last_change / 1.25, estimate.error[0], 1e-12);
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

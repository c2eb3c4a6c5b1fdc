// The incomplete factor of the near coefficients: a diagonal that no raising makes positive (a
// coefficient that is not a number) ends the search for pivots instead of running forever.
#include "fine/solve/incomplete_factor.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

TEST(IncompleteFactor, ANonFiniteDiagonalEndsTheSearchForAPositivePivot) {
  NearField near;
  near.n = 2;
  near.diagonal = {1.0, std::numeric_limits<double>::quiet_NaN()};
  near.row_start = {0, 1, 1};
  near.col = {1};
  near.value = {0.5};
  const IncompleteFactor factor = make_incomplete_factor(near, 0.1);
  EXPECT_EQ(2, factor.n);
  // A finite matrix: the pivots of 1 and 1 - 0.5² / 1.2 after the usual fifth.
  near.diagonal[1] = 1.0;
  const IncompleteFactor finite = make_incomplete_factor(near, 0.1);
  EXPECT_DOUBLE_EQ(std::sqrt(1.2), finite.diagonal[0]);
  EXPECT_DOUBLE_EQ(std::sqrt(1.2 - 0.25 / 1.2), finite.diagonal[1]);
}

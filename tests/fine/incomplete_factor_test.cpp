// The incomplete factor of the near coefficients: a diagonal that no raising makes positive (a
// coefficient that is not a number) ends the search for pivots instead of running forever; where
// it needs a raise, the leaves' exact blocks in its place.
#include "fine/solve/incomplete_factor.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

#include "fine/solve/leaf_blocks.h"

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

namespace {

/// x = A⁻¹ b for a small dense A by Gaussian elimination (rows of A as given).
std::vector<double> dense_solve(std::vector<std::vector<double>> a, std::vector<double> b) {
  const size_t n = b.size();
  for (size_t k = 0; k < n; ++k) {
    for (size_t i = k + 1; i < n; ++i) {
      const double f = a[i][k] / a[k][k];
      for (size_t j = k; j < n; ++j) a[i][j] -= f * a[k][j];
      b[i] -= f * b[k];
    }
  }
  std::vector<double> x(n);
  for (size_t i = n; i-- > 0;) {
    double s = b[i];
    for (size_t j = i + 1; j < n; ++j) s -= a[i][j] * x[j];
    x[i] = s / a[i][i];
  }
  return x;
}

}  // namespace

// Four arms coupled to a hub by 0.7 and to one another by 0.5 (unit diagonal): positive definite
// (the hub's Schur complement is 1 − 4 · 0.49 / (1 + 3 · 0.5) = 0.216), but keeping the entries of
// at least 0.6 leaves the star, whose hub pivot with a fifth more is 1.2 − 4 · 0.49 / 1.2 < 0.
// The leaves' exact blocks need no raise: leaf {0, 1} takes the hub (strong, near both) and leaf
// {2, 3, 4} takes rows 0 and 1, so its rows are those of the whole system's solution.
TEST(IncompleteFactor, WhereItNeedsARaiseTheLeavesExactBlocksSolveTheirOwnRows) {
  const int n = 5;
  std::vector<std::vector<double>> a(n, std::vector<double>(n, 0.5));
  NearField near;
  near.n = n;
  near.row_start = {0};
  for (int i = 0; i < n; ++i) {
    a[i][i] = 1.0;
    if (i < 4) a[i][4] = a[4][i] = 0.7;
    near.diagonal.push_back(1.0);
    for (int j = i + 1; j < n; ++j) {
      near.col.push_back(j);
      near.value.push_back(a[i][j]);
    }
    near.row_start.push_back(static_cast<int64_t>(near.col.size()));
  }
  EXPECT_FALSE(make_incomplete_factor(near, 0.6, 0.2).made);
  const LeafBlocks blocks = make_leaf_blocks(near, {{0, 2}, {2, 3}}, 0.6, 5);
  const std::vector<double> r = {1.0, -2.0, 0.5, 3.0, -1.0};
  std::vector<Lanes<kNarrowLanes>> rl(n), z(n);
  for (int i = 0; i < n; ++i)
    for (int w = 0; w < kNarrowLanes; ++w) rl[i].lane[w] = (w + 1) * r[i];
  leaf_blocks_solve(blocks, rl.data(), z.data());
  const std::vector<double> whole = dense_solve(a, r);
  const std::vector<double> first =
      dense_solve({{1.0, 0.5, 0.7}, {0.5, 1.0, 0.7}, {0.7, 0.7, 1.0}}, {r[0], r[1], r[4]});
  for (int w = 0; w < kNarrowLanes; ++w) {
    for (int i = 0; i < 2; ++i) EXPECT_NEAR((w + 1) * first[i], z[i].lane[w], 1e-12 * (w + 1));
    for (int i = 2; i < n; ++i) EXPECT_NEAR((w + 1) * whole[i], z[i].lane[w], 1e-12 * (w + 1));
  }
  // The blocks shared among threads: each still writes only its own rows, the same bits.
  for (int32_t threads : {2, 3}) {
    std::vector<Lanes<kNarrowLanes>> shared(n);
    leaf_blocks_solve(blocks, rl.data(), shared.data(), threads);
    for (int i = 0; i < n; ++i)
      for (int w = 0; w < kNarrowLanes; ++w) EXPECT_EQ(z[i].lane[w], shared[i].lane[w]) << i;
  }
}

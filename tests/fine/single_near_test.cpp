// The iterations' single-precision copy of the near coefficients: its product is that of the
// coefficients rounded to single precision, column runs and all, and every path gives its bits.
#include "fine/solve/single_near.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "common/instruction_set.h"
#include "fine/solve/near_kernels.h"

namespace {

// Seven panels, every pair near but (3, 5): row 3's columns are two runs. Values that single
// precision cannot hold.
NearField seven_panels() {
  NearField near;
  near.n = 7;
  near.row_start = {0};
  const std::vector<std::vector<int32_t>> columns = {
      {1, 2, 3, 4, 5, 6}, {2, 3, 4, 5, 6}, {3, 4, 5, 6}, {4, 5, 6}, {5, 6}, {6}, {}};
  for (int32_t i = 0; i < near.n; ++i) {
    near.diagonal.push_back(3.0 + 0.1 * i);
    for (int32_t j : columns[i]) {
      if (i == 3 && j == 5) continue;  // a gap: 4, then 6 alone
      near.col.push_back(j);
      near.value.push_back(1.0 / (1.0 + i + 3.0 * j) + 1e-9 * j);
    }
    near.row_start.push_back(static_cast<int64_t>(near.col.size()));
  }
  return near;
}

}  // namespace

TEST(SingleNear, ItsProductIsThatOfTheRoundedCoefficientsOnEveryPath) {
  const NearField near = seven_panels();
  const SingleNear single = make_single_near(near);
  EXPECT_EQ(1, single.run_start[1] - single.run_start[0]);  // row 0: its leaf and partners meet
  EXPECT_EQ(2, single.run_start[4] - single.run_start[3]);  // row 3: 4, then 6
  // The dense symmetric matrix of the rounded values, multiplied in plain arithmetic.
  std::vector<std::vector<double>> a(7, std::vector<double>(7, 0.0));
  for (int32_t i = 0; i < 7; ++i) {
    a[i][i] = near.diagonal[i];
    for (int64_t e = near.row_start[i]; e < near.row_start[i + 1]; ++e) {
      a[i][near.col[e]] = a[near.col[e]][i] = static_cast<float>(near.value[e]);
    }
  }
  std::vector<Lanes<kNarrowLanes>> x(7), y(7), first(7);
  for (int32_t i = 0; i < 7; ++i)
    for (int32_t w = 0; w < kNarrowLanes; ++w) x[i].lane[w] = std::sin(1.0 + i + 7.0 * w);
  bool have_first = false;
  for (InstructionSet set : {InstructionSet::sse2, InstructionSet::avx2, InstructionSet::avx512}) {
    if (!processor_has(set)) continue;
    near_kernels(set).single_near_multiply(single, x.data(), y.data());
    for (int32_t i = 0; i < 7; ++i) {
      for (int32_t w = 0; w < kNarrowLanes; ++w) {
        double expected = 0.0;
        for (int32_t j = 0; j < 7; ++j) expected += a[i][j] * x[j].lane[w];
        EXPECT_NEAR(expected, y[i].lane[w], 1e-14) << i << " " << w;
        if (have_first) {
          EXPECT_EQ(first[i].lane[w], y[i].lane[w]) << instruction_set_name(set);
        }
      }
    }
    if (!have_first) first = y;
    have_first = true;
  }
  // And within single precision's rounding of the coefficients themselves.
  std::vector<Lanes<kNarrowLanes>> exact(7);
  near_kernels(InstructionSet::sse2).near_multiply(near, x.data(), exact.data());
  for (int32_t i = 0; i < 7; ++i) EXPECT_NEAR(exact[i].lane[0], first[i].lane[0], 1e-7);
}

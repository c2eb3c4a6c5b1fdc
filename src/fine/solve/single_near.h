#pragma once

#include <cstdint>
#include <vector>

#include "common/first_touch_vector.h"
#include "fine/solve/near_field.h"

/// The near coefficients in single precision, for the operator the solves iterate on. That
/// operator is an approximation already (its far pairs are cut at a low degree), and the
/// capacitance, made with the accurate operator in a form stationary in the solution, sees its
/// error squared: a coefficient's rounding to single precision, some 6e-8 of it, moves nothing
/// that counts. The iterations' near products then stream a third of the bytes: half of each
/// coefficient and no columns, since a row's columns are runs of consecutive tree positions (the
/// rest of its own leaf, then each partner leaf), kept once per run.
struct SingleNear {
  int32_t n = 0;                    // order
  std::vector<double> diagonal;     // coefficient of each panel with itself, as it is
  std::vector<int64_t> row_start;   // n + 1 offsets into value, those of the NearField
  std::vector<int32_t> run_start;   // n + 1 offsets into run_first and run_length
  std::vector<int32_t> run_first;   // first column of each run
  std::vector<int32_t> run_length;  // columns of each run
  FirstTouchVector<float> value;    // the NearField's values rounded to nearest
};

/// The single-precision copy of `near`, its entries in the same order.
SingleNear make_single_near(const NearField& near);

/// The memory the copy takes.
int64_t single_near_bytes(const SingleNear& single);

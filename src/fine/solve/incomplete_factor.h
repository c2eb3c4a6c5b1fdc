#pragma once

#include <cstdint>
#include <vector>

#include "fine/solve/near_field.h"

/// An incomplete factor U of the strongest near coefficients, N ≈ Uᵀ U with U upper
/// triangular and the sparsity of those coefficients, for z = (UᵀU)⁻¹ r as preconditioner.
/// Not vornax's incomplete_cholesky: that one is vornax's defined computation to the bit (its
/// fill-in, its form UᵀDU, its order of operations) and may neither drop entries nor shift.
struct IncompleteFactor {
  int32_t n = 0;                   // order
  std::vector<double> diagonal;    // U(i, i)
  std::vector<int64_t> row_start;  // n + 1 offsets
  std::vector<int32_t> col;        // columns right of the diagonal, ascending
  std::vector<double> value;       // U(i, col)
  double shift = 0.0;              // the diagonal was raised by this fraction of itself
  bool made = false;               // every pivot was positive at that raise
};

/// Factorises the entries of `near` whose size is at least `keep` times the geometric mean of
/// their two diagonal entries, with the diagonal raised by a fifth, and by twice as much again
/// until every pivot is positive, but by no more than `largest_shift` times itself.
IncompleteFactor make_incomplete_factor(const NearField& near, double keep,
                                        double largest_shift = 1e6);

#pragma once

#include <cstdint>

#include "sparse/sparse_matrix.h"

// Flat copies of a rebuilt matrix for the solves, laid out so that each sum of the product and of
// the substitutions is one contiguous run of terms, in exactly the order in which the list walks
// add them. Built once, after the matrix is final; they do not follow later changes of it.

/// A SYMM matrix by rows: row j's leading diagonal entry (if its list starts with one) and then
/// its other entries in row-list order.
struct CompactSymmetric {
  explicit CompactSymmetric(const SparseMatrix& matrix);
  /// Zero-filled arrays for n rows and `entry_count` other entries, to be filled in by a copy
  /// received from another process.
  CompactSymmetric(int32_t n, int64_t entry_count);
  CompactSymmetric(const CompactSymmetric&) = delete;
  CompactSymmetric& operator=(const CompactSymmetric&) = delete;
  ~CompactSymmetric();

  int32_t n;              // order of the matrix
  uint8_t* has_diagonal;  // n flags: row j's list starts at column j
  double* diagonal;       // n values of those leading entries (0.0 where absent)
  int64_t* row_start;     // n + 1 offsets of each row's other entries
  int32_t* col;           // column of each other entry, row by row in list order
  double* value;          // value of each other entry
  bool all_finite;        // no value is infinite or NaN: then a product a·0.0 is ±0.0 and adding
                          // it leaves every sum as it is, so products need no skip for x = 0.0
};

/// An LDU factor Uᵀ·D·U with identity permutation and every row led by its pivot, as
/// incomplete_cholesky makes it, for z = F⁻¹·r: the pivots, and the entries of U above the
/// diagonal by rows (row-list order after the pivot), which both substitutions walk.
struct CompactFactor {
  explicit CompactFactor(const SparseMatrix& factor);
  /// Zero-filled arrays for n rows and `entry_count` entries after the pivots, to be filled in by
  /// a copy received from another process.
  CompactFactor(int32_t n, int64_t entry_count);
  CompactFactor(const CompactFactor&) = delete;
  CompactFactor& operator=(const CompactFactor&) = delete;
  ~CompactFactor();

  int32_t n;           // order of the factor
  double* pivot;       // n pivots D(i)
  int64_t* row_start;  // n + 1 offsets into row_col / row_value
  int32_t* row_col;    // column of each entry of row i after its pivot, ascending
  double* row_value;   // its value U(i, col)
};

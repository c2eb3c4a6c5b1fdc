#pragma once

#include <cstdint>

#include "sparse/sparse_matrix.h"

// Flat copies of a rebuilt matrix for the solves: the same entries in exactly the order of the
// row or column lists, so that a traversal performs the same operations in the same order as the
// list walk it replaces, over contiguous memory. Built once, after the matrix is final; they do
// not follow later changes of the matrix.

/// A SYMM matrix by rows: row j's leading diagonal entry (if its list starts with one) and then
/// its other entries in row-list order.
struct CompactSymmetric {
  explicit CompactSymmetric(const SparseMatrix& matrix);
  CompactSymmetric(const CompactSymmetric&) = delete;
  CompactSymmetric& operator=(const CompactSymmetric&) = delete;
  ~CompactSymmetric();

  int32_t n;              // order of the matrix
  uint8_t* has_diagonal;  // n flags: row j's list starts at column j
  double* diagonal;       // n values of those leading entries (0.0 where absent)
  int32_t* row_start;     // n + 1 offsets of each row's other entries
  int32_t* col;           // column of each other entry, row by row in list order
  double* value;          // value of each other entry
};

/// An LDU factor Uᵀ·D·U with identity permutation: the pivots (first entry of each row), the
/// entries above the diagonal by columns (column-list order, rows below the column index) for
/// the forward substitution, and by rows (row-list order after the pivot) for the backward one.
struct CompactFactor {
  explicit CompactFactor(const SparseMatrix& factor);
  CompactFactor(const CompactFactor&) = delete;
  CompactFactor& operator=(const CompactFactor&) = delete;
  ~CompactFactor();

  int32_t n;           // order of the factor
  double* pivot;       // n pivots D(i)
  int32_t* col_start;  // n + 1 offsets into col_row / col_value
  int32_t* col_row;    // row of each entry of column i with row < i, ascending
  double* col_value;   // its value U(row, i)
  int32_t* row_start;  // n + 1 offsets into row_col / row_value
  int32_t* row_col;    // column of each entry of row i after its first, ascending
  double* row_value;   // its value U(i, col)
};

/// True when `factor` can be held as a CompactFactor: format LDU, identity permutation (or none),
/// and every row starting with its diagonal entry.
bool has_compact_factor_form(const SparseMatrix& factor);

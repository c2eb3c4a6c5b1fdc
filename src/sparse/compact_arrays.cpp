#include "sparse/compact_arrays.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdlib>

#include "common/fatal.h"

CompactSymmetric::CompactSymmetric(const SparseMatrix& matrix)
    : n(matrix.rows),
      has_diagonal(allocate_zeroed<uint8_t>(matrix.rows)),
      diagonal(allocate_zeroed<double>(matrix.rows)),
      row_start(allocate_zeroed<int64_t>(int64_t{matrix.rows} + 1)),
      col(allocate_zeroed<int32_t>(matrix.entry_count)),
      value(allocate_zeroed<double>(matrix.entry_count)),
      all_finite(true) {
  int64_t k = 0;
  for (int32_t j = 0; j < n; ++j) {
    row_start[j] = k;
    const MatrixEntry* e = matrix.row_heads[j];
    if (e != nullptr && e->col == j) {
      has_diagonal[j] = 1;
      diagonal[j] = e->value;
      all_finite = all_finite && std::isfinite(e->value);
      e = e->next_in_row;
    }
    for (; e != nullptr; e = e->next_in_row, ++k) {
      col[k] = e->col;
      value[k] = e->value;
      all_finite = all_finite && std::isfinite(e->value);
    }
  }
  row_start[n] = k;
}

CompactSymmetric::CompactSymmetric(int32_t rows, int64_t entry_count)
    : n(rows),
      has_diagonal(allocate_zeroed<uint8_t>(rows)),
      diagonal(allocate_zeroed<double>(rows)),
      row_start(allocate_zeroed<int64_t>(int64_t{rows} + 1)),
      col(allocate_zeroed<int32_t>(entry_count)),
      value(allocate_zeroed<double>(entry_count)),
      all_finite(true) {}

CompactSymmetric::~CompactSymmetric() {
  std::free(has_diagonal);
  std::free(diagonal);
  std::free(row_start);
  std::free(col);
  std::free(value);
}

CompactFactor::CompactFactor(const SparseMatrix& factor)
    : n(factor.rows),
      pivot(allocate_zeroed<double>(factor.rows)),
      row_start(allocate_zeroed<int64_t>(int64_t{factor.rows} + 1)),
      row_col(allocate_zeroed<int32_t>(factor.entry_count)),
      row_value(allocate_zeroed<double>(factor.entry_count)) {
  int64_t k = 0;
  for (int32_t i = 0; i < n; ++i) {
    row_start[i] = k;
    pivot[i] = factor.row_heads[i]->value;
    for (const MatrixEntry* e = factor.row_heads[i]->next_in_row; e != nullptr;
         e = e->next_in_row, ++k) {
      row_col[k] = e->col;
      row_value[k] = e->value;
    }
  }
  row_start[n] = k;
}

CompactFactor::CompactFactor(int32_t rows, int64_t entry_count)
    : n(rows),
      pivot(allocate_zeroed<double>(rows)),
      row_start(allocate_zeroed<int64_t>(int64_t{rows} + 1)),
      row_col(allocate_zeroed<int32_t>(entry_count)),
      row_value(allocate_zeroed<double>(entry_count)) {}

CompactFactor::~CompactFactor() {
  std::free(pivot);
  std::free(row_start);
  std::free(row_col);
  std::free(row_value);
}

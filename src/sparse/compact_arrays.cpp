#include "sparse/compact_arrays.h"

#include <cstddef>
#include <cstdlib>

#include "run/fatal.h"

namespace {

template <typename T>
T* allocate(int64_t count) {
  return static_cast<T*>(calloc_or_exit(static_cast<std::size_t>(count), sizeof(T)));
}

}  // namespace

CompactSymmetric::CompactSymmetric(const SparseMatrix& matrix)
    : n(matrix.rows),
      has_diagonal(allocate<uint8_t>(matrix.rows)),
      diagonal(allocate<double>(matrix.rows)),
      row_start(allocate<int32_t>(int64_t{matrix.rows} + 1)),
      col(allocate<int32_t>(matrix.entry_count)),
      value(allocate<double>(matrix.entry_count)) {
  int32_t k = 0;
  for (int32_t j = 0; j < n; ++j) {
    row_start[j] = k;
    const MatrixEntry* e = matrix.row_heads[j];
    if (e != nullptr && e->col == j) {
      has_diagonal[j] = 1;
      diagonal[j] = e->value;
      e = e->next_in_row;
    }
    for (; e != nullptr; e = e->next_in_row, ++k) {
      col[k] = e->col;
      value[k] = e->value;
    }
  }
  row_start[n] = k;
}

CompactSymmetric::~CompactSymmetric() {
  std::free(has_diagonal);
  std::free(diagonal);
  std::free(row_start);
  std::free(col);
  std::free(value);
}

bool has_compact_factor_form(const SparseMatrix& factor) {
  if (factor.format != LDU || factor.rows != factor.cols) return false;
  for (int32_t i = 0; i < factor.rows; ++i) {
    if (factor.row_perm != nullptr && factor.row_perm[i] != i) return false;
    if (factor.row_heads[i] == nullptr || factor.row_heads[i]->col != i) return false;
  }
  return true;
}

CompactFactor::CompactFactor(const SparseMatrix& factor)
    : n(factor.rows),
      pivot(allocate<double>(factor.rows)),
      col_start(allocate<int32_t>(int64_t{factor.rows} + 1)),
      col_row(allocate<int32_t>(factor.entry_count)),
      col_value(allocate<double>(factor.entry_count)),
      row_start(allocate<int32_t>(int64_t{factor.rows} + 1)),
      row_col(allocate<int32_t>(factor.entry_count)),
      row_value(allocate<double>(factor.entry_count)) {
  int32_t k = 0;
  for (int32_t i = 0; i < n; ++i) {
    col_start[i] = k;
    for (const MatrixEntry* c = factor.col_heads[i]; c != nullptr && c->row < i;
         c = c->next_in_col, ++k) {
      col_row[k] = c->row;
      col_value[k] = c->value;
    }
  }
  col_start[n] = k;

  k = 0;
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

CompactFactor::~CompactFactor() {
  std::free(pivot);
  std::free(col_start);
  std::free(col_row);
  std::free(col_value);
  std::free(row_start);
  std::free(row_col);
  std::free(row_value);
}

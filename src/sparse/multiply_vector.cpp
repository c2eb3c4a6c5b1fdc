// y = A·x for the two unfactored formats.

#include <algorithm>

#include "common/fatal.h"
#include "sparse/sparse_matrix.h"

void SparseMatrix::multiply_vector(double* y, const double* x) const {
  if (format != ASYM && format != SYMM) {
    fail_and_exit("This function requires a ASYM or SYMM format matrix!!\n");
  }
  std::fill(y, y + rows, 0.0);

  if (format == ASYM) {
    // Column by column, so that each x component is read (and tested for zero) once.
    for (int32_t i = 0; i < cols; ++i) {
      if (x[i] == 0.0) continue;
      for (const MatrixEntry* e = col_heads[i]; e != nullptr; e = e->next_in_col) {
        y[e->row] += e->value * x[i];  // y += A(:, i)·x(i)
      }
    }
    return;
  }

  // SYMM: a stored off-diagonal value a(j, m) acts at (j, m) and at its mirror (m, j).
  for (int32_t j = 0; j < rows; ++j) {
    const MatrixEntry* e = row_heads[j];
    if (e == nullptr) continue;
    if (e->col == j) {
      if (x[j] != 0.0) y[j] += e->value * x[j];
      e = e->next_in_row;
    }
    for (; e != nullptr; e = e->next_in_row) {
      if (x[e->col] != 0.0) y[j] += e->value * x[e->col];  // y(j) += a(j, m)·x(m)
      if (x[j] != 0.0) y[e->col] += e->value * x[j];       // y(m) += a(j, m)·x(j)
    }
  }
}

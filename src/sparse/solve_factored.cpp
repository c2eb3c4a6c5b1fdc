// x = F⁻¹·b for a factor F: Uᵀ·D·U (LDU) or L·U (LDU_GENERAL), each under its permutations.

#include <cstddef>
#include <cstdlib>

#include "common/fatal.h"
#include "sparse/sparse_matrix.h"

namespace {

// Position i of a permutation; a factor without one is unpermuted.
int32_t permuted(const int32_t* permutation, int32_t i) {
  return permutation != nullptr ? permutation[i] : i;
}

// Uᵀ·D·U·z = b(p): Uᵀ is read through the column lists above the diagonal, D from the first entry
// of each row, U through the row lists right of it.
void solve_symmetric_factor(const SparseMatrix& f, double* x, const double* b, double* z) {
  const int32_t n = f.rows;
  for (int32_t i = 0; i < n; ++i) {
    z[i] = b[permuted(f.row_perm, i)];
    for (const MatrixEntry* c = f.col_heads[i]; c != nullptr && c->row < i; c = c->next_in_col) {
      z[i] -= z[c->row] * c->value;  // z = Uᵀ \ z
    }
  }
  for (int32_t i = 0; i < n; ++i) z[i] /= f.row_heads[i]->value;  // z = D \ z
  for (int32_t i = n - 1; i >= 0; --i) {
    for (const MatrixEntry* e = f.row_heads[i]->next_in_row; e != nullptr; e = e->next_in_row) {
      z[i] -= z[e->col] * e->value;  // z = U \ z
    }
    x[permuted(f.row_perm, i)] = z[i];
  }
}

// L·U·z = b(p), x(c) = z: L left of each row's `diag` entry with a unit diagonal, U from it on.
// Every row must hold its diagonal entry. A format of the library that no pass of a run produces.
void solve_general_factor(const SparseMatrix& f, double* x, const double* b, double* z) {
  const int32_t n = f.rows;
  for (int32_t i = 0; i < n; ++i) {
    z[i] = b[permuted(f.row_perm, i)];
    for (const MatrixEntry* e = f.row_heads[i]; e != f.diag[i]; e = e->next_in_row) {
      z[i] -= z[e->col] * e->value;  // z = L \ z
    }
  }
  for (int32_t i = n - 1; i >= 0; --i) {
    for (const MatrixEntry* e = f.diag[i]->next_in_row; e != nullptr; e = e->next_in_row) {
      z[i] -= z[e->col] * e->value;
    }
    z[i] /= f.diag[i]->value;  // z = U \ z
    x[permuted(f.col_perm, i)] = z[i];
  }
}

}  // namespace

void SparseMatrix::solve_factored(double* x, const double* b) const {
  if (format != LDU && format != LDU_GENERAL) {
    fail_and_exit("This function requires a LDU format matrix!!\n");
  }
  double* z = static_cast<double*>(calloc_or_exit(static_cast<std::size_t>(rows), sizeof(double)));
  if (format == LDU) {
    solve_symmetric_factor(*this, x, b, z);
  } else {
    solve_general_factor(*this, x, b, z);
  }
  std::free(z);
}

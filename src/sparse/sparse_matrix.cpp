#include "sparse/sparse_matrix.h"

#include <algorithm>
#include <cstddef>
#include <cstdlib>

#include "run/fatal.h"

namespace {

// `count` null entry links.
MatrixEntry** allocate_links(int32_t count) {
  return static_cast<MatrixEntry**>(
      calloc_or_exit(static_cast<std::size_t>(count), sizeof(MatrixEntry*)));
}

}  // namespace

SparseMatrix::SparseMatrix(int32_t rows, int32_t cols, uint32_t format)
    : format(format),
      rows(rows),
      cols(cols),
      entry_count(0),
      diag_count(std::min(rows, cols)),
      row_heads(allocate_links(rows)),
      col_heads(allocate_links(cols)),
      diag(nullptr),
      row_perm(nullptr),
      col_perm(nullptr) {
  if ((format == ASYM || format == LDU_GENERAL) && rows == cols) diag = allocate_links(diag_count);
}

SparseMatrix::SparseMatrix(const SparseMatrix& source)
    : format(source.format),
      rows(source.rows),
      cols(source.cols),
      entry_count(0),
      diag_count(source.diag_count),
      row_heads(allocate_links(rows)),
      col_heads(allocate_links(cols)),
      diag(source.diag != nullptr ? allocate_links(diag_count) : nullptr),
      row_perm(nullptr),
      col_perm(nullptr) {
  for (int32_t i = 0; i < rows; ++i) {
    for (const MatrixEntry* e = source.row_heads[i]; e != nullptr; e = e->next_in_row) {
      push_entry(i, e->col, e->value);
    }
  }
  rebuild_links();
}

SparseMatrix::~SparseMatrix() {
  std::free(row_heads);
  std::free(col_heads);
  std::free(diag);
  std::free(row_perm);
  std::free(col_perm);
}

int32_t SparseMatrix::accumulate_in_row(int32_t row, int32_t col, double value) {
  for (MatrixEntry** link = &row_heads[row]; *link != nullptr; link = &(*link)->next_in_row) {
    MatrixEntry* entry = *link;
    if (entry->col != col) continue;
    entry->value += value;
    // An exact cancellation removes the position from the row list; the column lists are stale
    // while filling anyway, and the slot stays with the pool.
    if (entry->value == 0.0) {
      *link = entry->next_in_row;
      --entry_count;
    }
    return 1;
  }
  return 0;
}

void SparseMatrix::accumulate_symmetric(int32_t i, int32_t j, double value,
                                        int32_t double_diagonal) {
  const int32_t r = std::min(i, j);
  const int32_t c = std::max(i, j);
  if (i == j && double_diagonal == 1) value = 2.0 * value;
  if (accumulate_in_row(r, c, value) == 0) push_entry(r, c, value);
}

MatrixEntry* SparseMatrix::push_entry(int32_t row, int32_t col, double value) {
  MatrixEntry* entry = pool.allocate_entry();
  entry->row = row;
  entry->col = col;
  entry->value = value;
  entry->next_in_row = row_heads[row];
  row_heads[row] = entry;
  ++entry_count;
  return entry;
}

// Two passes of insertion at the front: rows taken in descending order build every column list
// in ascending row order, and columns taken in descending order then rebuild every row list in
// ascending column order. Duplicates of one position are met consecutively at the head of their
// column during the first pass, which is where they are merged.
void SparseMatrix::rebuild_links() {
  std::fill(col_heads, col_heads + cols, nullptr);
  entry_count = 0;
  for (int32_t i = rows - 1; i >= 0; --i) {
    for (MatrixEntry* p = row_heads[i]; p != nullptr; p = p->next_in_row) {
      MatrixEntry* q = col_heads[p->col];
      if (q != nullptr && q->row == i) {
        // Merged sums stay linked even when they are zero.
        q->value += p->value;
      } else {
        p->next_in_col = q;
        col_heads[p->col] = p;
        ++entry_count;
      }
    }
  }

  std::fill(row_heads, row_heads + rows, nullptr);
  if (diag != nullptr) std::fill(diag, diag + diag_count, nullptr);
  for (int32_t j = cols - 1; j >= 0; --j) {
    for (MatrixEntry* p = col_heads[j]; p != nullptr; p = p->next_in_col) {
      p->next_in_row = row_heads[p->row];
      row_heads[p->row] = p;
      if (diag != nullptr && p->row == j) diag[j] = p;
    }
  }
}

#include "sparse/sparse_matrix.h"

#include <algorithm>
#include <cstddef>
#include <cstdlib>
#include <vector>

#include "common/fatal.h"

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

// The entry is the first of its row list at column `col`, as a walk of the row would find it,
// but it is looked up in the position index, built on first use from the row lists.
int32_t SparseMatrix::accumulate_in_row(int32_t row, int32_t col, double value) {
  if (position_index == nullptr) build_position_index();
  MatrixEntry* entry = position_index->find(row, col);
  if (entry == nullptr) return 0;
  entry->value += value;
  // An exact cancellation removes the position from the row list; the column lists are stale
  // while filling anyway, and the slot stays with the pool. Cancellation is rare, so the
  // predecessor is searched for.
  if (entry->value == 0.0) {
    MatrixEntry** link = &row_heads[row];
    while (*link != entry) link = &(*link)->next_in_row;
    *link = entry->next_in_row;
    --entry_count;
    position_index->erase(row, col);
    // A duplicate made by push_entry further down the row now comes first at the position.
    for (MatrixEntry* later = entry->next_in_row; later != nullptr; later = later->next_in_row) {
      if (later->col == col) {
        position_index->insert(later);
        break;
      }
    }
  }
  return 1;
}

void SparseMatrix::build_position_index() {
  position_index = std::make_unique<PositionIndex>();
  for (int32_t i = 0; i < rows; ++i) {
    // Back to front, so that the entry met first in the row is the one that stays.
    std::vector<MatrixEntry*> row_entries;
    for (MatrixEntry* e = row_heads[i]; e != nullptr; e = e->next_in_row) row_entries.push_back(e);
    for (auto it = row_entries.rbegin(); it != row_entries.rend(); ++it)
      position_index->insert(*it);
  }
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
  if (position_index != nullptr) position_index->insert(entry);  // now first in its row
  return entry;
}

// Two passes of insertion at the front: rows taken in descending order build every column list
// in ascending row order, and columns taken in descending order then rebuild every row list in
// ascending column order. Duplicates of one position are met consecutively at the head of their
// column during the first pass, which is where they are merged.
void SparseMatrix::rebuild_links() {
  position_index.reset();  // merging invalidates it; filling again rebuilds it
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

// Up-looking incomplete factorisation P ≈ Uᵀ·D·U. Row k of the factor is obtained from row k of
// P by subtracting U(j, k)·D(j)·U(j, :) for every finished row j < k that has an entry in column
// k, working on a dense copy of the row; then D(k) is the diagonal of the result and
// U(k, d) = (1/D(k))·w(d) for its other working values w(d).
//
// Two situations that the plain algorithm mishandles are settled here:
// - Each column is listed as pending at most once. A stored 0.0 of P is not listed when its row
//   is scattered (its working value reads as "empty" to the first update, which lists it then),
//   and a column already listed is never appended again, although its working value may be 0.0
//   when an update subtracted a zero product.
// - A working value that cancels to exactly 0.0 leaves the pending list, which is what makes it
//   a fresh fill-in candidate for a later update. If the column holds an entry of P, that entry
//   must still receive U = (1/D(k))·0.0, i.e. 0.0, and its column cursor must still move past it
//   (a fill-in inserted in that column by a later row would otherwise land before it). Rather
//   than keeping such columns listed, a sweep over row k after the pending list is consumed
//   finishes every entry of P that the list did not reach: exactly those whose column cursor
//   still points at them. It stores r·w(d) like the list does (0.0 after a cancellation, the
//   stored zero itself for an untouched 0.0 of P). Without stored zeros and exact cancellations
//   the sweep finds nothing, and the factor is exactly that of the algorithm without it.

#include "sparse/incomplete_cholesky.h"

#include <cstddef>
#include <cstdlib>
#include <vector>

#include "common/fatal.h"

namespace {

constexpr int32_t kEndOfList = -1;  // next index of the last listed column; empty head and tail
constexpr int32_t kAbsent = -2;     // next index of a column that is not listed

// The columns of the current row that carry a working value, in the order they were entered,
// each at most once: a singly linked list over column indices.
struct PendingList {
  int32_t head;   // first listed column, kEndOfList when empty
  int32_t tail;   // last listed column, where appending continues; kEndOfList when empty
  int32_t* next;  // per column: the next listed column, kEndOfList after the last, or kAbsent

  bool contains(int32_t column) const { return next[column] != kAbsent; }

  void append(int32_t column) {
    next[column] = kEndOfList;
    if (tail == kEndOfList) {
      head = column;
    } else {
      next[tail] = column;
    }
    tail = column;
  }

  // Cancellation is rare, so the predecessor is searched for instead of being stored.
  void remove(int32_t column) {
    int32_t previous = kEndOfList;
    if (head == column) {
      head = next[column];
    } else {
      previous = head;
      while (next[previous] != column) previous = next[previous];
      next[previous] = next[column];
    }
    if (tail == column) tail = previous;
    next[column] = kAbsent;
  }

  int32_t pop_front() {
    const int32_t column = head;
    head = next[column];
    if (head == kEndOfList) tail = kEndOfList;
    next[column] = kAbsent;
    return column;
  }
};

// Working storage of one factorisation, indexed by column and released on every way out.
struct Scratch {
  double* row_values;   // D(j) at finished positions j, working values right of the current row,
                        // 0.0 elsewhere
  PendingList pending;  // columns of the current row with a working value
  MatrixEntry*** column_cursor;  // per column: the link just after its last entry in a finished
                                 // row, where a fill-in of the current row is inserted
  MatrixEntry** entry_at;        // per column: the entry of the current row there, else null
  uint8_t* in_row;               // per column: 1 where the current row has an entry (no-fill path)

  explicit Scratch(SparseMatrix& factor) {
    const std::size_t width = static_cast<std::size_t>(factor.cols);
    row_values = static_cast<double*>(calloc_or_exit(width, sizeof(double)));
    pending.head = kEndOfList;
    pending.tail = kEndOfList;
    pending.next = static_cast<int32_t*>(calloc_or_exit(width, sizeof(int32_t)));
    column_cursor = static_cast<MatrixEntry***>(calloc_or_exit(width, sizeof(MatrixEntry**)));
    entry_at = static_cast<MatrixEntry**>(calloc_or_exit(width, sizeof(MatrixEntry*)));
    in_row = static_cast<uint8_t*>(calloc_or_exit(width, sizeof(uint8_t)));
    for (int32_t j = 0; j < factor.cols; ++j) {
      pending.next[j] = kAbsent;
      column_cursor[j] = &factor.col_heads[j];
    }
  }
  Scratch(const Scratch&) = delete;
  Scratch& operator=(const Scratch&) = delete;
  ~Scratch() {
    std::free(row_values);
    std::free(pending.next);
    std::free(column_cursor);
    std::free(entry_at);
    std::free(in_row);
  }
};

// The finished rows of the factor right of their diagonal, copied to contiguous arrays as each
// row is finished (a finished row never changes again), so that the elimination walks memory in
// order instead of following row links. Row j is visited once for every entry (j, k), in
// ascending k, so a cursor per row finds the entry of column k without a search.
struct FinishedRows {
  std::vector<int64_t> start;   // per row: offset of its entries right of the diagonal
  std::vector<int64_t> cursor;  // per row: offset of the entry that the next visit starts at
  std::vector<int32_t> col;     // column of each entry, row by row in row-list order
  std::vector<double> value;    // its value U(j, col)

  explicit FinishedRows(const SparseMatrix& factor)
      : start(static_cast<std::size_t>(factor.rows) + 1), cursor(factor.rows) {
    col.reserve(static_cast<std::size_t>(factor.entry_count));
    value.reserve(static_cast<std::size_t>(factor.entry_count));
  }

  void add(int32_t k, const MatrixEntry* diagonal) {
    start[k] = cursor[k] = static_cast<int64_t>(col.size());
    for (const MatrixEntry* e = diagonal->next_in_row; e != nullptr; e = e->next_in_row) {
      col.push_back(e->col);
      value.push_back(e->value);
    }
    start[k + 1] = static_cast<int64_t>(col.size());
  }
};

// Subtracts U(j, k)·D(j)·U(j, m) from the working row k for every finished row j with an entry
// in column k; the diagonal working value becomes the pivot candidate.
//
// kNoFill: the drop tolerance admits no fill-in. A working value outside the positions of row k
// then only ever decides about a fill-in that is dropped, so it is not computed; the row's own
// positions receive exactly the same updates in the same order. The pending list is not kept
// either: it only decides which of the row's entries are stored by the list and which by the
// sweep after it, and both store r·w(d).
template <bool kNoFill>
void eliminate(const SparseMatrix& factor, int32_t k, FinishedRows& rows, Scratch& s) {
  double* w = s.row_values;
  for (const MatrixEntry* c = factor.col_heads[k]; c != nullptr && c->row < k; c = c->next_in_col) {
    const int32_t j = c->row;
    const double u_jk = c->value;
    const double d_j = w[j];
    w[k] -= (u_jk * d_j) * u_jk;
    // The entries of row j after (j, k).
    const int64_t end = rows.start[j + 1];
    for (int64_t t = ++rows.cursor[j]; t < end; ++t) {
      const int32_t m = rows.col[t];
      if (kNoFill && !s.in_row[m]) continue;
      const double g = (rows.value[t] * d_j) * u_jk;
      if (w[m] == 0.0) {
        w[m] = -g;
        if (!kNoFill && !s.pending.contains(m)) s.pending.append(m);
      } else {
        w[m] -= g;
        if (!kNoFill && w[m] == 0.0) s.pending.remove(m);
      }
    }
  }
}

// Stores U(k, d) = r·w(d) for every pending column d, into P's entry or as an admitted fill-in,
// and clears the working row right of k.
void store_row(SparseMatrix& factor, int32_t k, MatrixEntry* diagonal, double r,
               double drop_tolerance, Scratch& s) {
  double* w = s.row_values;
  const double pivot = diagonal->value;
  // The pending list is in entry order, not column order: the entries of the row are found by
  // column through entry_at, and only a fill-in looks for its place along the row.
  for (MatrixEntry* e = diagonal->next_in_row; e != nullptr; e = e->next_in_row) {
    s.entry_at[e->col] = e;
  }
  while (s.pending.head != kEndOfList) {
    const int32_t d = s.pending.pop_front();
    const double u = r * w[d];
    MatrixEntry* at = s.entry_at[d];
    if (at != nullptr) {
      at->value = u;
      s.column_cursor[d] = &at->next_in_col;
    } else {
      // Fill-in: only small relative values are kept, so a tolerance of 0.0 keeps none.
      const double q = u / pivot;
      if (-drop_tolerance < q && q < drop_tolerance) {
        MatrixEntry** row_cursor = &diagonal->next_in_row;
        while (*row_cursor != nullptr && (*row_cursor)->col < d) {
          row_cursor = &(*row_cursor)->next_in_row;
        }
        MatrixEntry* fill = factor.pool.allocate_entry();
        fill->row = k;
        fill->col = d;
        fill->value = u;
        fill->next_in_row = *row_cursor;
        *row_cursor = fill;
        fill->next_in_col = *s.column_cursor[d];
        *s.column_cursor[d] = fill;
        s.column_cursor[d] = &fill->next_in_col;
        ++factor.entry_count;
      }
    }
    w[d] = 0.0;
  }

  // Entries of P whose column was not pending (see the top of this file).
  for (MatrixEntry* e = diagonal->next_in_row; e != nullptr; e = e->next_in_row) {
    s.entry_at[e->col] = nullptr;
    if (*s.column_cursor[e->col] != e) continue;
    e->value = r * w[e->col];
    w[e->col] = 0.0;
    s.column_cursor[e->col] = &e->next_in_col;
  }
}

}  // namespace

std::unique_ptr<SparseMatrix> incomplete_cholesky(const SparseMatrix& P, int32_t& failed_row,
                                                  double drop_tolerance) {
  auto factor = std::make_unique<SparseMatrix>(P);
  SparseMatrix& F = *factor;
  F.row_perm =
      static_cast<int32_t*>(calloc_or_exit(static_cast<std::size_t>(F.rows), sizeof(int32_t)));
  for (int32_t i = 0; i < F.rows; ++i) F.row_perm[i] = i;
  Scratch s(F);
  FinishedRows finished(F);
  // -t < q < t holds for no q when t is 0.0 (the run's tolerance), negative or not a number.
  const bool no_fill = !(drop_tolerance > 0.0);

  for (int32_t k = 0; k < F.rows; ++k) {
    MatrixEntry* diagonal = F.row_heads[k];
    if (diagonal == nullptr || diagonal->col != k) {
      failed_row = F.row_perm[k];
      return nullptr;
    }

    // Scatter row k of P into the working row.
    s.row_values[k] = diagonal->value;
    for (const MatrixEntry* e = diagonal->next_in_row; e != nullptr; e = e->next_in_row) {
      s.row_values[e->col] = e->value;
      if (no_fill) {
        s.in_row[e->col] = 1;
      } else if (e->value != 0.0) {
        s.pending.append(e->col);
      }
    }

    if (no_fill) {
      eliminate<true>(F, k, finished, s);
    } else {
      eliminate<false>(F, k, finished, s);
    }

    // D(k); a NaN is neither negative nor zero and passes.
    const double pivot = s.row_values[k];
    if (pivot <= 0.0) fail_and_exit("Non positive definited matrix!!\n");
    diagonal->value = pivot;
    s.column_cursor[k] = &diagonal->next_in_col;
    const double r = 1.0 / pivot;

    if (no_fill) {
      for (MatrixEntry* e = diagonal->next_in_row; e != nullptr; e = e->next_in_row) {
        e->value = r * s.row_values[e->col];
        s.row_values[e->col] = 0.0;
        s.in_row[e->col] = 0;
      }
    } else {
      store_row(F, k, diagonal, r, drop_tolerance, s);
    }
    finished.add(k, diagonal);
  }

  F.format = LDU;
  return factor;
}

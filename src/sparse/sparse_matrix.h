#pragma once

#include <cstdint>
#include <iosfwd>
#include <memory>

#include "sparse/entry_pool.h"
#include "sparse/position_index.h"

// Storage format codes of a SparseMatrix.
constexpr uint32_t ASYM = 1;  // every value at its own position
constexpr uint32_t SYMM = 2;  // symmetric; only row <= col stored, off-diagonals stand for both
constexpr uint32_t LDU = 5;   // symmetric factor Uᵀ·D·U: D on the diagonal, unit U above it
constexpr uint32_t LDU_GENERAL = 6;  // general factor L·U: unit L left of the diagonal, U from it

/// One stored value, linked into the list of its row and the list of its column.
struct MatrixEntry {
  int32_t row;               // row index, from 0
  int32_t col;               // column index, from 0
  double value;              // the stored value
  MatrixEntry* next_in_row;  // next entry of the same row list, null at its end
  MatrixEntry* next_in_col;  // next entry of the same column list, null at its end
};

/// A sparse matrix of doubles held in linked row and column lists.
///
/// Filling (accumulate_symmetric, push_entry) links entries into their row lists only;
/// rebuild_links then merges equal positions and sorts every row and column list. Every reading
/// operation requires that rebuilt state. Indices are not checked against `rows` and `cols`.
class SparseMatrix {
 public:
  /// An empty matrix; ASYM and LDU_GENERAL matrices that are square get a `diag` array.
  SparseMatrix(int32_t rows, int32_t cols, uint32_t format);
  /// A copy of the stored values of `source` in the rebuilt state, with a pool of its own and no
  /// permutations.
  SparseMatrix(const SparseMatrix& source);
  SparseMatrix& operator=(const SparseMatrix&) = delete;
  ~SparseMatrix();

  /// Adds `value` to the entry at (row, col) if row `row` holds one and returns 1; a sum of
  /// exactly 0.0 unlinks the entry from its row list. Returns 0 when there is no such entry.
  int32_t accumulate_in_row(int32_t row, int32_t col, double value);
  /// Adds `value` at (min(i, j), max(i, j)), doubled on the diagonal when `double_diagonal` is 1,
  /// creating the entry (even for 0.0) when the position holds none.
  void accumulate_symmetric(int32_t i, int32_t j, double value, int32_t double_diagonal);
  /// Puts a new entry at the front of row `row`, without search; duplicates are merged later by
  /// rebuild_links.
  MatrixEntry* push_entry(int32_t row, int32_t col, double value);
  /// Merges entries of equal position, sorts the row lists by column and builds the column lists
  /// sorted by row, recounts `entry_count` and refills `diag`.
  void rebuild_links();

  /// y = A·x for ASYM and SYMM matrices; products with an x component of exactly 0.0 are skipped.
  /// Other formats end the run with "This function requires a ASYM or SYMM format matrix!!\n".
  void multiply_vector(double* y, const double* x) const;
  /// x = F⁻¹·b for a factor F of format LDU or LDU_GENERAL; b is not changed. Other formats end the
  /// run with "This function requires a LDU format matrix!!\n".
  void solve_factored(double* x, const double* b) const;
  /// Solves P·x = b by conjugate gradients preconditioned with this factor, starting from x, until
  /// the residual norm is below `tolerance`; p, r, z, q are caller-owned work vectors of `cols`
  /// doubles. Returns the iterations performed (at least 1), or -1 when the solve cannot go on.
  int32_t pcg_solve(double* x, const SparseMatrix& P, const double* b, double* p, double* r,
                    double* z, double* q, double tolerance) const;
  /// Writes every position, stored or not, row by row as "value " fields, one line per row.
  void write_dense(std::ostream& stream) const;

  EntryPool pool;           // owner of every entry of this matrix
  uint32_t format;          // storage format code: ASYM, SYMM, LDU or LDU_GENERAL
  int32_t rows;             // number of rows
  int32_t cols;             // number of columns
  int64_t entry_count;      // number of entries linked into the row lists
  int32_t diag_count;       // min(rows, cols)
  MatrixEntry** row_heads;  // `rows` links: first entry of each row list, by column once rebuilt
  MatrixEntry** col_heads;  // `cols` links: first entry of each column list; stale while filling
  MatrixEntry** diag;       // `diag_count` links to the (i, i) entries (null where not stored), or
                            // null when the format keeps no diagonal array
  int32_t* row_perm;        // `rows` ints: permutation of a factor's right-hand side, or null
  int32_t* col_perm;        // `rows` ints: permutation of a general factor's result, or null
  std::unique_ptr<PositionIndex>
      position_index;  // while filling: the entry at each position, for accumulate_in_row; null
                       // until the first accumulation and after rebuild_links

 private:
  void build_position_index();
};

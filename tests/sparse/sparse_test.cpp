#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>
#include <memory>
#include <sstream>
#include <string>
#include <tuple>
#include <vector>

#include "common/instruction_set.h"
#include "sparse/blocked_sums.h"
#include "sparse/compact_arrays.h"
#include "sparse/incomplete_cholesky.h"
#include "sparse/pcg.h"
#include "sparse/pcg_lanes.h"
#include "sparse/sparse_matrix.h"

namespace {

struct Triplet {
  int32_t row;   // row index
  int32_t col;   // column index
  double value;  // value pushed at (row, col)
};
using Triplets = std::vector<Triplet>;
using Vector = std::vector<double>;

const double kInf = std::numeric_limits<double>::infinity();
const double kNaN = std::numeric_limits<double>::quiet_NaN();
const Triplets kTwoByTwo = {{0, 0, 4.0}, {0, 1, 2.0}, {1, 1, 3.0}};  // [[4, 2], [2, 3]]

// A rebuilt matrix holding `entries`, square unless `cols` is given.
SparseMatrix make(int32_t rows, uint32_t format, const Triplets& entries, int32_t cols = -1) {
  SparseMatrix m(rows, cols < 0 ? rows : cols, format);
  for (const Triplet& t : entries) m.push_entry(t.row, t.col, t.value);
  m.rebuild_links();
  return m;
}

const MatrixEntry* find(const SparseMatrix& m, int32_t row, int32_t col) {
  const MatrixEntry* e = m.row_heads[row];
  while (e != nullptr && e->col != col) e = e->next_in_row;
  return e;
}

double value_at(const SparseMatrix& m, int32_t row, int32_t col) {
  const MatrixEntry* e = find(m, row, col);
  return e != nullptr ? e->value : kNaN;
}

// Rows strictly ascending by column and columns by row, both holding the entry_count entries.
void expect_sorted_lists(const SparseMatrix& m) {
  int32_t in_rows = 0, in_cols = 0;
  for (int32_t i = 0; i < m.rows; ++i) {
    for (const MatrixEntry* e = m.row_heads[i]; e != nullptr; e = e->next_in_row, ++in_rows) {
      EXPECT_TRUE(e->row == i && (e->next_in_row == nullptr || e->col < e->next_in_row->col));
    }
  }
  for (int32_t j = 0; j < m.cols; ++j) {
    for (const MatrixEntry* e = m.col_heads[j]; e != nullptr; e = e->next_in_col, ++in_cols) {
      EXPECT_TRUE(find(m, e->row, j) == e &&
                  (e->next_in_col == nullptr || e->row < e->next_in_col->row));
    }
  }
  EXPECT_EQ(in_rows, m.entry_count);
  EXPECT_EQ(in_cols, m.entry_count);
}

// The library reports on standard output, death tests read standard error.
#define EXPECT_FATAL(statement, message)                                            \
  EXPECT_EXIT((std::fflush(stdout), dup2(STDERR_FILENO, STDOUT_FILENO), statement), \
              ::testing::ExitedWithCode(1), ::testing::Eq(std::string(message) + "\n"))

}  // namespace

TEST(SparseAccumulation, SymmetricPositionsAndDiagonalDoubling) {
  SparseMatrix m(6, 6, SYMM);
  m.accumulate_symmetric(5, 2, 1.25, 0);
  m.accumulate_symmetric(2, 5, 0.5, 1);  // one entry at (2, 5), never doubled off the diagonal
  m.accumulate_symmetric(3, 3, 1.5, 1);
  m.accumulate_symmetric(4, 4, 1.5, 0);
  m.accumulate_symmetric(0, 1, 0.0, 0);  // a zero still creates its entry
  EXPECT_EQ(m.entry_count, 4);
  EXPECT_EQ(m.row_heads[5], nullptr);
  EXPECT_EQ(value_at(m, 2, 5), 1.75);
  EXPECT_EQ(value_at(m, 3, 3), 3.0);
  EXPECT_EQ(value_at(m, 4, 4), 1.5);
  EXPECT_EQ(value_at(m, 0, 1), 0.0);
}

TEST(SparseAccumulation, CancellationUnlinksAndALaterSumCreatesAFrontEntry) {
  SparseMatrix m(4, 4, SYMM);
  m.accumulate_symmetric(1, 3, 2.0, 0);
  m.accumulate_symmetric(1, 2, 0.5, 0);  // row 1: (1,2) (1,3)
  EXPECT_EQ(m.accumulate_in_row(1, 3, -2.0), 1);
  EXPECT_EQ(m.entry_count, 1);
  EXPECT_EQ(m.row_heads[1]->next_in_row, nullptr);
  EXPECT_EQ(m.accumulate_in_row(1, 3, 1.0), 0);
  m.accumulate_symmetric(3, 1, 0.25, 1);
  EXPECT_EQ(m.pool.handed_out, 3);
  EXPECT_EQ(m.row_heads[1]->col, 3);
  m.accumulate_symmetric(1, 3, -0.25, 0);  // now cancelling the head
  EXPECT_EQ(m.row_heads[1]->col, 2);
  EXPECT_EQ(m.entry_count, 1);
}

TEST(SparseStorage, Entry257OpensASecondBlockOfZeroedEntries) {
  SparseMatrix m(1, 256, ASYM);
  for (int32_t j = 0; j < 256; ++j) m.push_entry(0, j, 1.0);
  EXPECT_EQ(m.pool.blocks.size(), 1u);
  MatrixEntry* e = m.pool.allocate_entry();
  EXPECT_EQ(m.pool.blocks.size(), 2u);
  EXPECT_EQ(m.pool.block_index, 1);
  EXPECT_EQ(m.pool.handed_out, 257);
  EXPECT_EQ(e, m.pool.blocks[1]);
  EXPECT_TRUE(e->row == 0 && e->col == 0 && e->value == 0.0 && e->next_in_row == nullptr &&
              e->next_in_col == nullptr);
}

TEST(SparseStorage, RebuildMergesDuplicatesAndSortsWhateverTheOrder) {
  SparseMatrix m(3, 4, ASYM);
  for (int32_t i : {7, 2, 11, 0, 5, 9, 3, 10, 1, 8, 6, 4}) m.push_entry(i % 3, i / 3, i);
  m.push_entry(2, 1, -5.0);  // merged into (2, 1), which stays although the sum is 0
  m.push_entry(1, 0, 0.5);
  m.rebuild_links();
  expect_sorted_lists(m);
  EXPECT_EQ(m.entry_count, 12);
  EXPECT_EQ(value_at(m, 2, 1), 0.0);
  EXPECT_EQ(value_at(m, 1, 0), 1.5);
  EXPECT_EQ(m.diag, nullptr);
}

TEST(SparseStorage, DiagArrayAndCopy) {
  SparseMatrix m(3, 3, ASYM);
  for (Triplet t : Triplets{{2, 2, 1.0}, {0, 1, 2.0}, {0, 0, 3.0}, {1, 0, 4.0}}) {
    m.push_entry(t.row, t.col, t.value);  // rows left unsorted, columns unbuilt
  }
  const SparseMatrix copy(m);
  expect_sorted_lists(copy);
  EXPECT_EQ(copy.entry_count, 4);
  EXPECT_NE(find(copy, 0, 1), find(m, 0, 1));
  EXPECT_EQ(value_at(copy, 1, 0), 4.0);
  EXPECT_EQ(copy.diag[0], find(copy, 0, 0));
  EXPECT_EQ(copy.diag[1], nullptr);
  EXPECT_EQ(copy.diag[2], find(copy, 2, 2));
  EXPECT_NE(SparseMatrix(3, 3, LDU_GENERAL).diag, nullptr);
  EXPECT_EQ(SparseMatrix(3, 3, SYMM).diag, nullptr);
}

TEST(MultiplyVector, ProductsAndFormatCheck) {
  double y[2] = {99.0, 99.0};
  const double x[3] = {1.0, 2.0, 3.0};
  make(2, SYMM, {{0, 0, 4.0}, {0, 1, 1.0}, {1, 1, 3.0}}).multiply_vector(y, x);
  EXPECT_EQ(y[0], 6.0);
  EXPECT_EQ(y[1], 7.0);
  make(2, ASYM, {{0, 0, 1.0}, {0, 2, 2.0}, {1, 1, 3.0}, {1, 2, 4.0}}, 3).multiply_vector(y, x);
  EXPECT_EQ(y[0], 7.0);
  EXPECT_EQ(y[1], 18.0);
  EXPECT_FATAL(SparseMatrix(1, 1, LDU).multiply_vector(y, x),
               "This function requires a ASYM or SYMM format matrix!!\n");
  EXPECT_FATAL(SparseMatrix(1, 1, LDU_GENERAL).multiply_vector(y, x),
               "This function requires a ASYM or SYMM format matrix!!\n");
}

TEST(MultiplyVector, ProductsWithZeroComponentsAreSkipped) {
  double y[2];
  const double x[2] = {1.0, 0.0}, x_swapped[2] = {0.0, 1.0};
  make(2, ASYM, {{0, 0, 2.0}, {0, 1, kInf}}).multiply_vector(y, x);  // inf·0 would be NaN
  EXPECT_EQ(y[0], 2.0);
  make(2, SYMM, {{0, 1, kInf}, {1, 1, kNaN}}).multiply_vector(y, x);
  EXPECT_EQ(y[0], 0.0);
  EXPECT_EQ(y[1], kInf);
  make(2, SYMM, {{0, 0, kNaN}, {0, 1, kInf}, {1, 1, 3.0}}).multiply_vector(y, x_swapped);
  EXPECT_EQ(y[0], kInf);
  EXPECT_EQ(y[1], 3.0);
}

class IncompleteCholeskyTest : public ::testing::Test {
 protected:
  // The factor of the SYMM matrix `entries`, which must exist, with sorted lists.
  std::unique_ptr<SparseMatrix> factor(int32_t n, const Triplets& entries, double tolerance = 0.0) {
    P = std::make_unique<SparseMatrix>(make(n, SYMM, entries));
    int32_t failed_row = -1;
    std::unique_ptr<SparseMatrix> F = incomplete_cholesky(*P, failed_row, tolerance);
    EXPECT_EQ(failed_row, -1);
    if (F != nullptr) expect_sorted_lists(*F);
    return F;
  }
  // solve_factored gives exactly `expected` and leaves b alone.
  static void expect_solution(const SparseMatrix& F, const Vector& b, const Vector& expected) {
    Vector x(b.size()), b_copy = b;
    F.solve_factored(x.data(), b_copy.data());
    EXPECT_EQ(x, expected);
    EXPECT_EQ(b_copy, b);
  }
  std::unique_ptr<SparseMatrix> P;
};

TEST_F(IncompleteCholeskyTest, TwoByTwoAndDiagonalAreFactoredExactly) {
  auto F = factor(2, kTwoByTwo);
  EXPECT_EQ(F->format, LDU);
  EXPECT_EQ(F->entry_count, 3);
  EXPECT_EQ(value_at(*F, 0, 0), 4.0);
  EXPECT_EQ(value_at(*F, 0, 1), 0.5);
  EXPECT_EQ(value_at(*F, 1, 1), 2.0);
  EXPECT_TRUE(F->row_perm[0] == 0 && F->row_perm[1] == 1 && F->col_perm == nullptr);
  expect_solution(*F, {4.0, 3.0}, {0.75, 0.5});
  F = factor(3, {{0, 0, 2.0}, {1, 1, 4.0}, {2, 2, 0.5}});
  EXPECT_EQ(F->entry_count, 3);
  expect_solution(*F, {1.0, 1.0, 1.0}, {0.5, 0.25, 2.0});
}

TEST_F(IncompleteCholeskyTest, FailuresAndMessages) {
  int32_t row = -1;
  EXPECT_FATAL(incomplete_cholesky(make(2, SYMM, {{0, 0, 1.0}, {0, 1, 2.0}, {1, 1, 1.0}}), row, 0),
               "Non positive definited matrix!!\n");
  EXPECT_FATAL(incomplete_cholesky(make(2, SYMM, {{0, 0, 1.0}, {0, 1, 1.0}, {1, 1, 1.0}}), row, 0),
               "Non positive definited matrix!!\n");
  EXPECT_EQ(incomplete_cholesky(make(3, SYMM, {{0, 0, 1.0}, {1, 2, 1.0}, {2, 2, 1.0}}), row, 0),
            nullptr);
  EXPECT_EQ(row, 1);
  EXPECT_EQ(incomplete_cholesky(make(3, SYMM, {{0, 0, 1.0}, {1, 1, 1.0}}), row, 0), nullptr);
  EXPECT_EQ(row, 2);
  double x[1];
  const double b[1] = {1.0};
  EXPECT_FATAL(SparseMatrix(1, 1, SYMM).solve_factored(x, b),
               "This function requires a LDU format matrix!!\n");
}

// [[4, 2, 2, 0], [2, 5, 0, 1], [2, 0, 5.25, 0], [0, 1, 0, 5]]. Row 1 lists its own column 3
// before the fill-in candidate (1, 2), U = -0.25, q = -0.0625; once that one is admitted, row 2
// meets the candidate (2, 3), U = 0.0625, q = 0.015625.
const Triplets kFillIn = {{0, 0, 4.0}, {0, 1, 2.0},  {0, 2, 2.0}, {1, 1, 5.0},
                          {1, 3, 1.0}, {2, 2, 5.25}, {3, 3, 5.0}};

TEST_F(IncompleteCholeskyTest, ZeroDropToleranceKeepsExactlyThePositionsOfP) {
  auto F = factor(4, kFillIn);
  for (int32_t i = 0; i < 16; ++i) {
    EXPECT_EQ(find(*F, i / 4, i % 4) == nullptr, find(*P, i / 4, i % 4) == nullptr);
  }
  EXPECT_EQ(value_at(*F, 1, 3), 0.25);
  EXPECT_EQ(value_at(*F, 2, 2), 4.25);  // 5.25 - 0.5·4·0.5
  EXPECT_EQ(value_at(*F, 3, 3), 4.75);  // 5 - 0.25·4·0.25
}

TEST_F(IncompleteCholeskyTest, PositiveDropToleranceAdmitsOnlySmallFillIn) {
  EXPECT_EQ(factor(4, kFillIn, 0.0625)->entry_count, 7);  // |q| equal to t is dropped
  auto F = factor(4, kFillIn, std::nextafter(0.0625, 1.0));
  EXPECT_EQ(F->entry_count, 9);
  EXPECT_EQ(value_at(*F, 1, 2), -0.25);
  EXPECT_EQ(value_at(*F, 2, 3), 0.0625);
  EXPECT_EQ(value_at(*F, 3, 3), 4.734375);
  expect_solution(*F, {8.0, 8.0, 7.25, 6.0}, {1.0, 1.0, 1.0, 1.0});  // the factor is complete
}

TEST_F(IncompleteCholeskyTest, PendingColumnsAreListedOnce) {
  // The stored zero (1, 2) is updated by row 0: U(1, 2) = -0.25, the complete factor.
  auto F =
      factor(3, {{0, 0, 4.0}, {0, 1, 2.0}, {0, 2, 2.0}, {1, 1, 5.0}, {1, 2, 0.0}, {2, 2, 5.0}});
  EXPECT_EQ(value_at(*F, 1, 2), -0.25);
  expect_solution(*F, {8.0, 7.0, 7.0}, {1.0, 1.0, 1.0});
  // Row 2 updates column 3 first by the zero U(0, 3), then by U(1, 2)·D(1)·U(1, 3) = 1.
  F = factor(4,
             {{0, 0, 4.0},
              {0, 2, 2.0},
              {0, 3, 0.0},
              {1, 1, 4.0},
              {1, 2, 2.0},
              {1, 3, 2.0},
              {2, 2, 6.0},
              {3, 3, 6.0}},
             1.0);
  EXPECT_EQ(F->entry_count, 9);
  EXPECT_EQ(value_at(*F, 2, 3), -0.25);
  EXPECT_EQ(value_at(*F, 3, 3), 4.75);
}

TEST_F(IncompleteCholeskyTest, ExactCancellationStoresZero) {
  // (1, 2) cancels, 1 - 0.5·4·0.5; keeping P's 1 in the factor would make D(2) = 0.
  auto F =
      factor(3, {{0, 0, 4.0}, {0, 1, 2.0}, {0, 2, 2.0}, {1, 1, 5.0}, {1, 2, 1.0}, {2, 2, 5.0}});
  EXPECT_EQ(value_at(*F, 1, 2), 0.0);
  EXPECT_EQ(value_at(*F, 2, 2), 4.0);
  // The same in column 3, where row 2's fill-in must still be linked below (1, 3).
  F = factor(4,
             {{0, 0, 4.0},
              {0, 1, 2.0},
              {0, 2, 2.0},
              {0, 3, 2.0},
              {1, 1, 5.0},
              {1, 3, 1.0},
              {2, 2, 5.25},
              {3, 3, 5.0}},
             0.1);
  EXPECT_EQ(F->entry_count, 10);
  EXPECT_EQ(value_at(*F, 1, 3), 0.0);
  expect_solution(*F, {10.0, 8.0, 7.25, 8.0}, {1.0, 1.0, 1.0, 1.0});
  // A fill-in candidate that cancels, -0.5·4·0.5 - (-0.5)·4·0.5, is not stored as a zero.
  F = factor(4,
             {{0, 0, 4.0},
              {0, 2, 2.0},
              {0, 3, 2.0},
              {1, 1, 4.0},
              {1, 2, 2.0},
              {1, 3, -2.0},
              {2, 2, 6.0},
              {3, 3, 6.0}},
             1.0);
  EXPECT_EQ(F->entry_count, 8);
  EXPECT_EQ(value_at(*F, 3, 3), 4.0);
}

class PcgTest : public ::testing::Test {
 protected:
  // pcg_solve with the factor of `preconditioner` from x = 0; x and r keep the results.
  int32_t solve(const SparseMatrix& P, const SparseMatrix& preconditioner, const Vector& b,
                double tolerance) {
    int32_t failed;
    const auto F = incomplete_cholesky(preconditioner, failed, 0.0);
    x.assign(b.size(), 0.0);
    r.assign(b.size(), 0.0);
    Vector p(b.size()), z(b.size()), q(b.size()), b_copy = b;
    const int32_t iterations =
        F->pcg_solve(x.data(), P, b_copy.data(), p.data(), r.data(), z.data(), q.data(), tolerance);
    EXPECT_EQ(std::memcmp(b_copy.data(), b.data(), b.size() * sizeof(double)), 0);
    return iterations;
  }
  Vector x, r;
};

TEST_F(PcgTest, ExactFactorConvergesInOneIteration) {
  const SparseMatrix P = make(2, SYMM, kTwoByTwo);
  EXPECT_EQ(solve(P, P, {4.0, 3.0}, 1e-12), 1);
  EXPECT_EQ(x, (Vector{0.75, 0.5}));
  EXPECT_EQ(r, (Vector{0.0, 0.0}));
}

TEST_F(PcgTest, IterationsEndAtTheKrylovDimension) {
  // [[2, 1], [1, 2]]·x = (1, 0) unpreconditioned: r = (0, -0.5) after one step, x = (2/3, -1/3)
  // after two.
  const SparseMatrix P = make(2, SYMM, {{0, 0, 2.0}, {0, 1, 1.0}, {1, 1, 2.0}});
  const SparseMatrix identity = make(2, SYMM, {{0, 0, 1.0}, {1, 1, 1.0}});
  EXPECT_EQ(solve(P, identity, {1.0, 0.0}, 0.6), 1);
  EXPECT_EQ(r, (Vector{0.0, -0.5}));
  EXPECT_EQ(solve(P, identity, {1.0, 0.0}, 0.4), 2);
  EXPECT_NEAR(x[0], 2.0 / 3.0, 1e-15);
  EXPECT_NEAR(x[1], -1.0 / 3.0, 1e-15);
  // Three distinct eigenvalues, all excited by b = (1, 0, 0): exactly three iterations.
  EXPECT_EQ(solve(make(3, SYMM, {{0, 0, 2.0}, {0, 1, 1.0}, {1, 1, 2.0}, {1, 2, 1.0}, {2, 2, 2.0}}),
                  make(3, SYMM, {{0, 0, 1.0}, {1, 1, 1.0}, {2, 2, 1.0}}), {1.0, 0.0, 0.0}, 1e-10),
            3);
}

TEST_F(PcgTest, SolvesThatCannotGoOnReturnMinusOne) {
  const SparseMatrix P = make(2, SYMM, kTwoByTwo);
  // Each stops before the step that would divide by p·q, leaving x as it was.
  EXPECT_EQ(solve(P, P, {0.0, 0.0}, 1e-12), -1);  // p·q = 0 at once
  EXPECT_EQ(x, (Vector{0.0, 0.0}));
  EXPECT_EQ(solve(P, P, {4.0, 3.0}, 0.0), -1);  // r = 0 exactly, then p·q = 0
  EXPECT_EQ(x, (Vector{0.75, 0.5}));
  EXPECT_EQ(solve(P, P, {kNaN, 3.0}, 1.0), -1);  // p·q not a number
  EXPECT_EQ(x, (Vector{0.0, 0.0}));
  EXPECT_EQ(solve(P, P, {1e300, 0.0}, 1.0), -1);  // p·q overflows
  EXPECT_EQ(x, (Vector{0.0, 0.0}));
  // A non-symmetric P on which the iteration diverges slowly: only the iteration bound ends it.
  const SparseMatrix rotation =
      make(2, ASYM, {{0, 0, 1.0}, {0, 1, -1.0}, {1, 0, 1.0}, {1, 1, 1.0}});
  EXPECT_EQ(solve(rotation, make(2, SYMM, {{0, 0, 1.0}, {1, 1, 1.0}}), {1.0, 0.0}, 1e-3), -1);
}

TEST_F(PcgTest, RandomSparseSystemMatchesDenseCholesky) {
  const int32_t n = 60;
  uint64_t state = 20240611;
  auto uniform = [&state] {  // in [0, 1), from a fixed 64-bit LCG
    state = state * 6364136223846793005ULL + 1442695040888963407ULL;
    return static_cast<double>(state >> 11) * 0x1.0p-53;
  };
  std::vector<Vector> A(n, Vector(n, 0.0));
  SparseMatrix P(n, n, SYMM);
  for (int32_t i = 0; i < n; ++i) {
    for (int32_t j = i + 1; j < n; ++j) {
      if (uniform() < 0.08) P.accumulate_symmetric(j, i, A[i][j] = A[j][i] = 2 * uniform() - 1, 1);
    }
  }
  Vector b(n);
  for (int32_t i = 0; i < n; ++i) {  // diagonal dominance makes A positive definite
    A[i][i] = 0.5;
    for (int32_t j = 0; j < n; ++j) A[i][i] += j != i ? std::fabs(A[i][j]) : 0.0;
    P.accumulate_symmetric(i, i, A[i][i] / 2, 1);
    b[i] = 2 * uniform() - 1;
  }
  P.rebuild_links();

  // Dense A = L·Lᵀ in the lower triangle of L, then x = L⁻ᵀ·L⁻¹·b.
  std::vector<Vector> L = A;
  Vector exact = b;
  for (int32_t j = 0; j < n; ++j) {
    for (int32_t i = j; i < n; ++i) {
      for (int32_t k = 0; k < j; ++k) L[i][j] -= L[i][k] * L[j][k];
      L[i][j] = i == j ? std::sqrt(L[j][j]) : L[i][j] / L[j][j];
    }
  }
  for (int32_t i = 0; i < n; ++i) {
    for (int32_t k = 0; k < i; ++k) exact[i] -= L[i][k] * exact[k];
    exact[i] /= L[i][i];
  }
  for (int32_t i = n - 1; i >= 0; --i) {
    for (int32_t k = i + 1; k < n; ++k) exact[i] -= L[k][i] * exact[k];
    exact[i] /= L[i][i];
  }

  const int32_t loose = solve(P, P, b, 1e-3);
  EXPECT_GT(loose, 1);
  EXPECT_GE(solve(P, P, b, 1e-13), loose);
  // max|b - A·x| / (‖A‖∞·max|x| + max|b|), and the error against the dense solution.
  double residual = 0.0, norm_a = 0.0, norm_x = 0.0, norm_b = 0.0, error = 0.0;
  for (int32_t i = 0; i < n; ++i) {
    double sum = b[i], row = 0.0;
    for (int32_t j = 0; j < n; ++j) {
      sum -= A[i][j] * x[j];
      row += std::fabs(A[i][j]);
    }
    residual = std::fmax(residual, std::fabs(sum));
    norm_a = std::fmax(norm_a, row);
    norm_x = std::fmax(norm_x, std::fabs(x[i]));
    norm_b = std::fmax(norm_b, std::fabs(b[i]));
    error = std::fmax(error, std::fabs(x[i] - exact[i]) / (std::fabs(exact[i]) + 1.0));
  }
  EXPECT_LT(residual / (norm_a * norm_x + norm_b), 1e-12);
  EXPECT_LT(error, 1e-11);
}

TEST(WriteDense, EveryFieldEndsWithOneSpace) {
  auto text = [](const SparseMatrix& m) {
    std::ostringstream out;
    m.write_dense(out);
    return out.str();
  };
  EXPECT_EQ(text(make(2, ASYM, {{0, 0, 2.0}, {0, 1, -1.0}, {1, 0, -1.0}, {1, 1, 2.0}})),
            "2 -1 \n-1 2 \n");
  EXPECT_EQ(text(make(1, ASYM, {{0, 0, 1.5}, {0, 1, 1e-5}, {0, 2, 1234567.0}}, 4)),
            "1.5 1e-05 1.23457e+06 0 \n");
  EXPECT_EQ(text(make(2, SYMM, kTwoByTwo)), "4 2 \n0 3 \n");  // stored entries only
  EXPECT_EQ(text(SparseMatrix(2, 3, ASYM)), "0 0 0 \n0 0 0 \n");
  EXPECT_EQ(text(SparseMatrix(2, 0, ASYM)), "\n\n");
  EXPECT_EQ(text(SparseMatrix(0, 2, ASYM)), "");
}

namespace {

// A random sparse symmetric positive definite matrix of order n, made diagonally dominant, with
// `density` of its off-diagonal positions stored.
SparseMatrix random_spd(int32_t n, double density, uint64_t seed) {
  uint64_t state = seed;
  auto uniform = [&state] {  // in [0, 1), from a fixed 64-bit LCG
    state = state * 6364136223846793005ULL + 1442695040888963407ULL;
    return static_cast<double>(state >> 11) * 0x1.0p-53;
  };
  SparseMatrix P(n, n, SYMM);
  Vector row_sum(n, 0.0);
  for (int32_t i = 0; i < n; ++i) {
    for (int32_t j = i + 1; j < n; ++j) {
      if (uniform() >= density) continue;
      const double a = 2 * uniform() - 1;
      P.accumulate_symmetric(i, j, a, 1);
      row_sum[i] += std::fabs(a);
      row_sum[j] += std::fabs(a);
    }
  }
  for (int32_t i = 0; i < n; ++i) P.accumulate_symmetric(i, i, 0.3 + row_sum[i], 0);
  P.rebuild_links();
  return P;
}

}  // namespace

// The instruction-set paths of this processor, chosen by name as VORNAX_ISA chooses them.
std::vector<InstructionSet> paths_of_this_processor() {
  std::vector<InstructionSet> paths;
  for (const char* name : {"sse2", "avx2", "avx512"}) {
    InstructionSet set;
    if (parse_instruction_set(name, set) && processor_has(set)) paths.push_back(set);
  }
  return paths;
}

// The product of `kernels` (groups of L lanes) against multiply_vector, lane by lane and bit for
// bit: scattered along the rows of P, and gathered in blocks of one and of two columns.
template <int32_t L>
void expect_product_of_every_lane(const SparseMatrix& P, const LaneKernels<L>& kernels) {
  const CompactSymmetric cp(P);
  const int32_t n = P.rows;
  std::vector<Lanes<L>> x(n);
  for (int32_t l = 0; l < L; ++l) {
    for (int32_t i = 0; i < n; ++i) x[i].lane[l] = ((i + l) % 3 == 0) ? 0.0 : 0.5 * (i + 1) - l;
  }
  const auto by_one = blocked_product(cp, 1);
  const auto by_two = blocked_product(cp, 2);
  for (const BlockedSums* gathered :
       std::vector<const BlockedSums*>{nullptr, by_one.get(), by_two.get()}) {
    SCOPED_TRACE(gathered ? "gathered" : "scattered");
    std::vector<Lanes<L>> y(n);
    kernels.multiply(LaneMatrices{&cp, nullptr, gathered, nullptr}, y.data(), x.data());
    for (int32_t l = 0; l < L; ++l) {
      Vector column(n), expected(n);
      for (int32_t i = 0; i < n; ++i) column[i] = x[i].lane[l];
      P.multiply_vector(expected.data(), column.data());
      for (int32_t i = 0; i < n; ++i) {
        EXPECT_EQ(0, std::memcmp(&expected[i], &y[i].lane[l], sizeof(double))) << l << " " << i;
      }
    }
  }
}

TEST(BlockedSums, BlocksFillHalfTheCacheWithTheSourceVector) {
  // 1 MiB of second-level cache: half of it holds 4,096 unknowns of 16 lanes (128 bytes each).
  EXPECT_EQ(4096, cache_block_columns(65792, 16, 1 << 20));
  EXPECT_EQ(16384, cache_block_columns(65792, 4, 1 << 20));
  // A vector that fits half the cache is one block; without a figure, 256 KiB are assumed.
  EXPECT_EQ(4000, cache_block_columns(4000, 16, 1 << 20));
  EXPECT_EQ(1024, cache_block_columns(65792, 16, 0));
  // Never fewer than 64 columns, however small the cache.
  EXPECT_EQ(64, cache_block_columns(65792, 16, 1024));
}

TEST(LaneKernels, ProductSkipsZeroComponentsOnEveryPath) {
  // Infinite and NaN values make a skipped product visible: inf·0.0 would add NaN.
  const SparseMatrix P = make(4, SYMM,
                              {{0, 0, 2.0},
                               {0, 1, kInf},
                               {0, 3, -1.5},
                               {1, 1, kNaN},
                               {1, 2, 0.25},
                               {2, 3, 3.0},
                               {3, 3, 1.0}});
  EXPECT_FALSE(CompactSymmetric(P).all_finite);
  for (InstructionSet path : paths_of_this_processor()) {
    SCOPED_TRACE(instruction_set_name(path));
    expect_product_of_every_lane(P, lane_kernels(path).quarter);
    expect_product_of_every_lane(P, lane_kernels(path).narrow);
    expect_product_of_every_lane(P, lane_kernels(path).wide);
  }
}

TEST(PcgLanes, EverySolveIsBitForBitThatOfPcgSolveOnEveryPath) {
  const int32_t n = 121;  // odd: a group of four lanes is then no whole number of 64 bytes
  const SparseMatrix P = random_spd(n, 0.05, 11);
  int32_t failed;
  const auto F = incomplete_cholesky(P, failed, 0.0);
  ASSERT_TRUE(F);

  // More right-hand sides than lanes, so lanes are refilled; sparse and dense ones converge
  // after different counts.
  const int32_t kCount = 29;
  std::vector<Vector> rhs(kCount, Vector(n, 0.0));
  for (int32_t k = 0; k < kCount; ++k) {
    for (int32_t i = 0; i < n; ++i) {
      if (k % 3 == 0 || (i * 7 + k) % 11 == 0 || i == k) {
        rhs[k][i] = std::sin(0.37 * i + k) * (k + 1);
      }
    }
  }
  const double tolerance = 1e-6;

  std::vector<Vector> expected_x(kCount, Vector(n));
  std::vector<int32_t> expected_iterations(kCount);
  Vector p(n), r(n), z(n), q(n);
  for (int32_t k = 0; k < kCount; ++k) {
    expected_x[k].assign(n, 0.0);
    expected_iterations[k] = F->pcg_solve(expected_x[k].data(), P, rhs[k].data(), p.data(),
                                          r.data(), z.data(), q.data(), tolerance);
    ASSERT_GT(expected_iterations[k], 0);
  }
  // Solves of different lengths, so that lanes end at different steps.
  EXPECT_LT(*std::min_element(expected_iterations.begin(), expected_iterations.end()),
            *std::max_element(expected_iterations.begin(), expected_iterations.end()));

  const CompactSymmetric cp(P);
  const CompactFactor cf(*F);
  // Groups of every width, narrowing as the solves end; one thread takes all 29 at once. Sums
  // scattered (the vectors fit the cache), and gathered as vectors larger than the cache take
  // them: in one block, and in blocks of 7 columns; gathered by the wide groups alone (above 121
  // unknowns of 8 lanes), so that a narrowing group changes form. Steps shared by teams of two
  // to four threads once groups run out (split), with or without the gathered sums; with 3 solves
  // to take, one group and its helpers share every step from the first.
  const int64_t kLaneBytes = sizeof(double);
  for (InstructionSet path : paths_of_this_processor()) {
    for (auto [threads, widest, gather_above, block, split, count] :
         {std::tuple{1, 4, int64_t{-1}, 0, false, 29},
          {1, 16, int64_t{-1}, 0, false, 29},
          {1, 8, int64_t{0}, 7, false, 29},
          {1, 16, int64_t{0}, 0, false, 29},
          {1, 16, int64_t{0}, 7, false, 29},
          {2, 8, int64_t{0}, 0, false, 29},
          {2, 16, int64_t{0}, 7, false, 29},
          {2, 4, int64_t{0}, 7, false, 29},
          {1, 16, 121 * 8 * kLaneBytes, 7, false, 29},
          {2, 16, int64_t{-1}, 0, true, 29},
          {3, 8, int64_t{0}, 7, true, 29},
          {4, 16, int64_t{-1}, 0, true, 29},
          {4, 4, int64_t{0}, 0, true, 29},
          {2, 16, int64_t{-1}, 0, true, 3},
          {4, 16, int64_t{0}, 7, true, 3}}) {
      SCOPED_TRACE(std::string(instruction_set_name(path)) + " " + std::to_string(threads) +
                   " threads, groups of up to " + std::to_string(widest) + ", gathered above " +
                   std::to_string(gather_above) + " bytes, blocks of " + std::to_string(block) +
                   (split ? ", steps shared" : "") + ", " + std::to_string(count) + " solves");
      std::vector<int32_t> started;
      std::vector<int32_t> finished(count, -2);
      std::vector<Vector> x(count);
      LaneSolveSettings settings;
      settings.thread_count = threads;
      settings.instruction_set = path;
      settings.widest_group = widest;
      settings.gather_above_bytes = gather_above;
      settings.block_columns = block;
      settings.split_above_entries = split ? 0 : INT64_MAX;
      settings.split_every_step = split;
      const int32_t failure = pcg_solve_lanes(
          cp, cf, count,
          [&](int32_t k, double* b) {
            started.push_back(k);
            std::copy(rhs[k].begin(), rhs[k].end(), b);
          },
          [&](int32_t k, const double* solution, int32_t iterations) {
            finished[k] = iterations;
            x[k].assign(solution, solution + n);
          },
          tolerance, settings);

      EXPECT_EQ(-1, failure);
      ASSERT_EQ(static_cast<std::size_t>(count), started.size());
      for (int32_t k = 0; k < count; ++k) {
        SCOPED_TRACE(k);
        EXPECT_EQ(k, started[k]);
        EXPECT_EQ(expected_iterations[k], finished[k]);
        EXPECT_EQ(0, std::memcmp(expected_x[k].data(), x[k].data(), n * sizeof(double)));
      }
    }
  }
}

// A small random system in the flat form the lane solves take.
struct SmallSystem {
  const int32_t n = 80;
  const SparseMatrix P = random_spd(n, 0.08, 5);
  int32_t failed = -1;
  const std::unique_ptr<SparseMatrix> F = incomplete_cholesky(P, failed, 0.0);
  const CompactSymmetric cp{P};
  const CompactFactor cf{*F};
};

TEST(PcgLanes, TheLowestFailingRightHandSideIsNamedAfterEveryLowerOneIsSolved) {
  const SmallSystem system;
  const int32_t n = system.n;
  const CompactSymmetric& cp = system.cp;
  const CompactFactor& cf = system.cf;
  // All-zero right-hand sides break down at once (p·q = 0); 13 and 21 are such, and the slow
  // dense ones before them must still be finished.
  const int32_t count = 24;
  auto zero = [](int32_t k) { return k == 13 || k == 21; };
  for (int32_t threads : {1, 2}) {
    SCOPED_TRACE(threads);
    std::vector<int32_t> taken;
    LaneSolveSettings settings;
    settings.thread_count = threads;
    settings.instruction_set = best_instruction_set();
    const int32_t failure = pcg_solve_lanes(
        cp, cf, count,
        [&](int32_t k, double* b) {
          for (int32_t i = 0; i < n; ++i) b[i] = zero(k) ? 0.0 : std::cos(i + 3.0 * k);
        },
        [&](int32_t k, const double*, int32_t) { taken.push_back(k); }, 1e-12, settings);
    EXPECT_EQ(13, failure);
    std::sort(taken.begin(), taken.end());
    std::vector<int32_t> below(13);
    for (int32_t k = 0; k < 13; ++k) below[k] = k;
    // On two threads, the other group's solves above 13 that end before 13 gives up are taken
    // (its first step may come after their last); none ends after it, and 13 and 21 never do.
    EXPECT_FALSE(std::binary_search(taken.begin(), taken.end(), 21));
    if (threads == 2) {
      taken.erase(std::remove_if(taken.begin(), taken.end(), [](int32_t k) { return k > 13; }),
                  taken.end());
    }
    EXPECT_EQ(below, taken);
  }
}

TEST(PcgLanes, AClaimerChoosesTheRightHandSidesAndAFailureEndsItsClaims) {
  const SmallSystem system;
  const int32_t n = system.n;
  const CompactSymmetric& cp = system.cp;
  const CompactFactor& cf = system.cf;
  // 13 is all zero and breaks down at its first step: 2 and 5 are still finished, the higher
  // ones are never taken, and the two left to claim when 13 gave up are never claimed.
  const std::vector<int32_t> handed = {2, 5, 13, 21, 22, 23, 24, 25, 26, 27};
  std::size_t next = 0;
  std::vector<int32_t> started, taken;
  LaneSolveSettings settings;
  settings.instruction_set = best_instruction_set();
  settings.widest_group = kNarrowLanes;
  settings.claim = [&] { return next < handed.size() ? handed[next++] : -1; };
  const int32_t failure = pcg_solve_lanes(
      cp, cf, 30,
      [&](int32_t k, double* b) {
        started.push_back(k);
        for (int32_t i = 0; i < n; ++i) b[i] = k == 13 ? 0.0 : std::cos(i + 3.0 * k);
      },
      [&](int32_t k, const double*, int32_t) { taken.push_back(k); }, 1e-12, settings);
  EXPECT_EQ(13, failure);
  EXPECT_EQ(std::vector<int32_t>(handed.begin(), handed.begin() + kNarrowLanes), started);
  EXPECT_EQ(static_cast<std::size_t>(kNarrowLanes), next);
  std::sort(taken.begin(), taken.end());
  EXPECT_EQ((std::vector<int32_t>{2, 5}), taken);
}

TEST(PcgLanes, AFailureKnownElsewhereStopsTheSolvesAboveItAndOneHereIsShared) {
  const SmallSystem system;
  const int32_t n = system.n;
  // Another process knows that 9 gave up: nothing from 9 on is started or taken, nothing below
  // it is lost, and the failure is not this engine's to report. With 20 known elsewhere, 13
  // gives up here: it is reported and lowers the shared value, and every solve below it is
  // taken (those above it that ended before it gave up may be too). -1 stops every solve.
  for (int32_t known : {9, 20, -1}) {
    SCOPED_TRACE(known);
    std::atomic<int32_t> lowest_failure{known};
    std::vector<int32_t> started, taken;
    LaneSolveSettings settings;
    settings.thread_count = 2;
    settings.instruction_set = best_instruction_set();
    settings.lowest_failure = &lowest_failure;
    const int32_t failure = pcg_solve_lanes(
        system.cp, system.cf, 24,
        [&](int32_t k, double* b) {
          started.push_back(k);
          for (int32_t i = 0; i < n; ++i) b[i] = k == 13 ? 0.0 : std::cos(i + 3.0 * k);
        },
        [&](int32_t k, const double*, int32_t) { taken.push_back(k); }, 1e-12, settings);
    const int32_t bound = known == 20 ? 13 : known;
    EXPECT_EQ(known == 20 ? 13 : -1, failure);
    EXPECT_EQ(bound, lowest_failure.load());
    std::sort(started.begin(), started.end());
    std::sort(taken.begin(), taken.end());
    for (int32_t k = 0; k < bound; ++k) {
      EXPECT_TRUE(std::binary_search(taken.begin(), taken.end(), k)) << k;
    }
    EXPECT_TRUE(started.empty() || started.back() < known);
    EXPECT_FALSE(std::binary_search(taken.begin(), taken.end(), 13));
  }
}

TEST(PositionIndex, FindsWhatTheRowWalkFindsThroughGrowthAndErasure) {
  // Accumulations with frequent exact cancellations over many positions (the table grows
  // several times), checked against a walk of the row lists after every step.
  SparseMatrix m(300, 300, SYMM);
  uint64_t state = 99;
  auto next = [&state](uint64_t bound) {
    state = state * 6364136223846793005ULL + 1442695040888963407ULL;
    return (state >> 33) % bound;
  };
  std::vector<std::vector<double>> expected(300, std::vector<double>(300, 0.0));
  std::vector<std::vector<bool>> linked(300, std::vector<bool>(300, false));
  for (int step = 0; step < 20000; ++step) {
    const int32_t i = static_cast<int32_t>(next(300)), j = static_cast<int32_t>(next(300));
    const int32_t r = std::min(i, j), c = std::max(i, j);
    // Whole values, so that sums are exact and cancel to exactly 0.0 now and then.
    const double v = static_cast<double>(static_cast<int64_t>(next(5)) - 2);
    m.accumulate_symmetric(i, j, v, 0);
    expected[r][c] += v;
    linked[r][c] = !(linked[r][c] && expected[r][c] == 0.0);
  }
  int32_t count = 0;
  for (int32_t r = 0; r < 300; ++r) {
    for (int32_t c = r; c < 300; ++c) {
      if (!linked[r][c]) {
        ASSERT_EQ(nullptr, find(m, r, c));
        continue;
      }
      ++count;
      ASSERT_NE(nullptr, find(m, r, c));
      EXPECT_EQ(expected[r][c], value_at(m, r, c));
      EXPECT_EQ(find(m, r, c), m.position_index->find(r, c));
    }
  }
  EXPECT_EQ(count, m.entry_count);
  EXPECT_GT(count, 10000);

  // A duplicate made by push_entry comes first in its row, and is found first; once it cancels,
  // the older entry behind it is found again.
  SparseMatrix d(2, 2, ASYM);
  MatrixEntry* older = d.push_entry(0, 1, 1.0);
  d.accumulate_in_row(0, 0, 1.0);  // builds the index
  MatrixEntry* newer = d.push_entry(0, 1, 2.0);
  EXPECT_EQ(newer, d.position_index->find(0, 1));
  EXPECT_EQ(1, d.accumulate_in_row(0, 1, -2.0));
  EXPECT_EQ(older, d.position_index->find(0, 1));
  EXPECT_EQ(older, d.row_heads[0]);
}

TEST_F(IncompleteCholeskyTest, ToleranceThatAdmitsNoFillInGivesTheFactorOfTheGeneralPath) {
  // A tolerance of 0.0 skips the working values of fill-in candidates; the smallest positive
  // tolerance runs the general path, which computes and then drops them. Both must store the
  // same bits, signs of zero included, also where values cancel exactly or P stores zeros.
  std::vector<std::pair<int32_t, Triplets>> cases = {
      {3, {{0, 0, 4.0}, {0, 1, 2.0}, {0, 2, 2.0}, {1, 1, 5.0}, {1, 2, 1.0}, {2, 2, 5.0}}},
      {3, {{0, 0, 4.0}, {0, 1, 2.0}, {0, 2, 2.0}, {1, 1, 5.0}, {1, 2, 0.0}, {2, 2, 5.0}}},
      {4,
       {{0, 0, 4.0},
        {0, 2, 2.0},
        {0, 3, 2.0},
        {1, 1, 4.0},
        {1, 2, 2.0},
        {1, 3, -2.0},
        {2, 2, 6.0},
        {3, 3, 6.0}}}};
  // Whole-number entries, so that updates cancel exactly now and then; no stored zeros, whose
  // zero products the general path would admit as fill-in under any positive tolerance.
  uint64_t state = 5;
  Triplets random;
  const int32_t n = 50;
  for (int32_t i = 0; i < n; ++i) {
    random.push_back({i, i, 24.0});
    for (int32_t j = i + 1; j < n; ++j) {
      state = state * 6364136223846793005ULL + 1442695040888963407ULL;
      const uint64_t draw = (state >> 33) % 16;
      if (draw < 3) random.push_back({i, j, draw == 0 ? -1.0 : static_cast<double>(draw)});
    }
  }
  cases.push_back({n, random});

  for (const auto& c : cases) {
    SCOPED_TRACE(c.first);
    const auto without_fill = factor(c.first, c.second, 0.0);
    const auto general = factor(c.first, c.second, std::numeric_limits<double>::min());
    ASSERT_TRUE(without_fill && general);
    ASSERT_EQ(P->entry_count, without_fill->entry_count);
    ASSERT_EQ(P->entry_count, general->entry_count);
    for (int32_t i = 0; i < c.first; ++i) {
      const MatrixEntry* a = without_fill->row_heads[i];
      const MatrixEntry* b = general->row_heads[i];
      for (; a != nullptr && b != nullptr; a = a->next_in_row, b = b->next_in_row) {
        EXPECT_EQ(a->col, b->col);
        EXPECT_EQ(0, std::memcmp(&a->value, &b->value, sizeof(double))) << i << " " << a->col;
      }
      EXPECT_EQ(a, b);  // both ended
    }
  }
}

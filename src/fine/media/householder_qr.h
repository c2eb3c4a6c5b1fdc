#pragma once

#include <cstdint>
#include <vector>

/// The QR factors of a tall matrix by Householder reflections, for small dense least squares.
class HouseholderQr {
 public:
  /// Factors the rows x cols matrix `a` (column-major, rows >= cols). False when a column is
  /// numerically a combination of the ones before it (|R_kk| below 1e-13 of the largest column
  /// norm); the factors are then not to be used.
  bool factor(std::vector<double> a, int32_t rows, int32_t cols);
  /// The x minimizing |a x - b|; `b` becomes the residual b - a x.
  void solve(double* b, double* x) const;
  /// Replaces v by its part orthogonal to the columns of a, (I - Q Q^T) v.
  void project_out(double* v) const;

 private:
  void apply_transpose(double* v) const;  // v -> Q^T v
  void apply(double* v) const;            // v -> Q v

  int32_t rows_ = 0;              // rows of the factored matrix
  int32_t cols_ = 0;              // columns of the factored matrix
  std::vector<double> factors_;   // R above the diagonal, the reflections' vectors below and on it
  std::vector<double> diagonal_;  // R's diagonal
  std::vector<double> scale_;     // 2 / |v|^2 of each reflection, 0 for none
};

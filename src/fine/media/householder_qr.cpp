#include "fine/media/householder_qr.h"

#include <cmath>

namespace {

// sum a[i] b[i] over [begin, end) in four interleaved partial sums: the reflections' dot
// products are latency-bound chains otherwise. The order is fixed, so the bits are too.
double dot_over(const double* a, const double* b, int32_t begin, int32_t end) {
  double s0 = 0.0, s1 = 0.0, s2 = 0.0, s3 = 0.0;
  int32_t i = begin;
  for (; i + 4 <= end; i += 4) {
    s0 += a[i] * b[i];
    s1 += a[i + 1] * b[i + 1];
    s2 += a[i + 2] * b[i + 2];
    s3 += a[i + 3] * b[i + 3];
  }
  for (; i < end; ++i) s0 += a[i] * b[i];
  return (s0 + s1) + (s2 + s3);
}

}  // namespace

bool HouseholderQr::factor(std::vector<double> a, int32_t rows, int32_t cols) {
  rows_ = rows;
  cols_ = cols;
  factors_ = std::move(a);
  diagonal_.assign(cols, 0.0);
  scale_.assign(cols, 0.0);
  double largest = 0.0;
  for (int32_t k = 0; k < cols; ++k) {
    const double* column = &factors_[static_cast<size_t>(k) * rows];
    const double norm = dot_over(column, column, 0, rows);
    largest = std::fmax(largest, std::sqrt(norm));
  }
  for (int32_t k = 0; k < cols; ++k) {
    double* column = &factors_[static_cast<size_t>(k) * rows];
    const double norm = std::sqrt(dot_over(column, column, k, rows));
    if (!(norm > 1e-13 * largest)) return false;
    const double alpha = column[k] > 0 ? -norm : norm;
    column[k] -= alpha;  // v = x - alpha e_k, without cancellation since alpha opposes x_k
    scale_[k] = 2.0 / dot_over(column, column, k, rows);
    diagonal_[k] = alpha;
    for (int32_t c = k + 1; c < cols; ++c) {
      double* other = &factors_[static_cast<size_t>(c) * rows];
      const double dot = dot_over(column, other, k, rows) * scale_[k];
      for (int32_t i = k; i < rows; ++i) other[i] -= dot * column[i];
    }
  }
  return true;
}

void HouseholderQr::apply_transpose(double* v) const {
  for (int32_t k = 0; k < cols_; ++k) {
    const double* column = &factors_[static_cast<size_t>(k) * rows_];
    const double dot = dot_over(column, v, k, rows_) * scale_[k];
    for (int32_t i = k; i < rows_; ++i) v[i] -= dot * column[i];
  }
}

void HouseholderQr::apply(double* v) const {
  for (int32_t k = cols_; k-- > 0;) {
    const double* column = &factors_[static_cast<size_t>(k) * rows_];
    const double dot = dot_over(column, v, k, rows_) * scale_[k];
    for (int32_t i = k; i < rows_; ++i) v[i] -= dot * column[i];
  }
}

void HouseholderQr::solve(double* b, double* x) const {
  apply_transpose(b);
  for (int32_t k = cols_; k-- > 0;) {
    double sum = b[k];
    for (int32_t c = k + 1; c < cols_; ++c)
      sum -= factors_[static_cast<size_t>(c) * rows_ + k] * x[c];
    x[k] = sum / diagonal_[k];
  }
  for (int32_t k = 0; k < cols_; ++k) b[k] = 0.0;
  apply(b);
}

void HouseholderQr::project_out(double* v) const {
  apply_transpose(v);
  for (int32_t k = 0; k < cols_; ++k) v[k] = 0.0;
  apply(v);
}

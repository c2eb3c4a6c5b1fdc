#include "fine/media/householder_qr.h"

#include <cmath>

bool HouseholderQr::factor(std::vector<double> a, int32_t rows, int32_t cols) {
  rows_ = rows;
  cols_ = cols;
  factors_ = std::move(a);
  diagonal_.assign(cols, 0.0);
  scale_.assign(cols, 0.0);
  double largest = 0.0;
  for (int32_t k = 0; k < cols; ++k) {
    double norm = 0.0;
    for (int32_t i = 0; i < rows; ++i) norm += factors_[k * rows + i] * factors_[k * rows + i];
    largest = std::fmax(largest, std::sqrt(norm));
  }
  for (int32_t k = 0; k < cols; ++k) {
    double* column = &factors_[static_cast<size_t>(k) * rows];
    double norm = 0.0;
    for (int32_t i = k; i < rows; ++i) norm += column[i] * column[i];
    norm = std::sqrt(norm);
    if (!(norm > 1e-13 * largest)) return false;
    const double alpha = column[k] > 0 ? -norm : norm;
    column[k] -= alpha;  // v = x - alpha e_k, without cancellation since alpha opposes x_k
    double length = 0.0;
    for (int32_t i = k; i < rows; ++i) length += column[i] * column[i];
    scale_[k] = 2.0 / length;
    diagonal_[k] = alpha;
    for (int32_t c = k + 1; c < cols; ++c) {
      double* other = &factors_[static_cast<size_t>(c) * rows];
      double dot = 0.0;
      for (int32_t i = k; i < rows; ++i) dot += column[i] * other[i];
      dot *= scale_[k];
      for (int32_t i = k; i < rows; ++i) other[i] -= dot * column[i];
    }
  }
  return true;
}

void HouseholderQr::apply_transpose(double* v) const {
  for (int32_t k = 0; k < cols_; ++k) {
    const double* column = &factors_[static_cast<size_t>(k) * rows_];
    double dot = 0.0;
    for (int32_t i = k; i < rows_; ++i) dot += column[i] * v[i];
    dot *= scale_[k];
    for (int32_t i = k; i < rows_; ++i) v[i] -= dot * column[i];
  }
}

void HouseholderQr::apply(double* v) const {
  for (int32_t k = cols_; k-- > 0;) {
    const double* column = &factors_[static_cast<size_t>(k) * rows_];
    double dot = 0.0;
    for (int32_t i = k; i < rows_; ++i) dot += column[i] * v[i];
    dot *= scale_[k];
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

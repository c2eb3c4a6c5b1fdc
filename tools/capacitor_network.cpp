#include "tools/capacitor_network.h"

#include <algorithm>
#include <cmath>

namespace {

/// (a + b) / 2 without overflow: halving a double is exact (short of
/// subnormals), so this is the correctly rounded mean.
double mean(double a, double b) { return 0.5 * a + 0.5 * b; }

/// The capacitance from port j to ground: the row sum of the entries that `min_fraction` keeps,
/// added in the order of k (all of them, the row sum itself, for 0).
double ground_capacitance(const MatrixRows& s, size_t j, double min_fraction) {
  double sum = 0.0;
  for (size_t k = 0; k < s.size(); ++k) {
    if (k == j || !is_negligible(s, j, k, min_fraction)) sum += s[j][k];
  }
  return sum;
}

/// Digits for the capacitors at port j, whose capacitor to ground is `ground`. Printed to p
/// digits, each is off by at most 0.5 * 10^(1-p) of itself, so S(j,j) = ground + couplings is
/// off by at most 0.5 * 10^(1-p) * total, total being the sum of their magnitudes.
/// p = 12 + log10(total / |S(j,j)|) keeps that below 0.5 * 10^-11 * |S(j,j)|.
int digits_for_port(const MatrixRows& s, size_t j, double ground, double min_fraction) {
  if (s[j][j] == 0.0) return 17;
  double total = std::fabs(ground);
  for (size_t k = 0; k < s.size(); ++k) {
    if (k != j && !is_negligible(s, j, k, min_fraction)) total += std::fabs(s[j][k]);
  }
  // total >= |S(j,j)|, equal when no capacitor is negative; the logarithm is
  // then 0 but for rounding, which must not cost a digit.
  double extra = std::max(0.0, std::ceil(std::log10(total / std::fabs(s[j][j])) - 1e-9));
  return static_cast<int>(std::min(17.0, 12.0 + extra));
}

}  // namespace

void symmetrise(MatrixRows& c) {
  for (size_t j = 0; j < c.size(); ++j) {
    c[j][j] = mean(c[j][j], c[j][j]);
    for (size_t k = j + 1; k < c.size(); ++k) c[j][k] = c[k][j] = mean(c[j][k], c[k][j]);
  }
}

Asymmetry largest_asymmetry(const MatrixRows& c) {
  Asymmetry largest;
  for (size_t j = 0; j < c.size(); ++j) {
    for (size_t k = j + 1; k < c.size(); ++k) {
      double difference = std::fabs(c[j][k] - c[k][j]);
      if (difference == 0.0) continue;
      double symmetric = std::fabs(mean(c[j][k], c[k][j]));
      double ratio = symmetric == 0.0 ? HUGE_VAL : difference / symmetric;
      if (ratio > largest.ratio) {
        largest.ratio = ratio;
        largest.row = static_cast<int32_t>(j);
        largest.column = static_cast<int32_t>(k);
        largest.upper = c[j][k];
        largest.lower = c[k][j];
      }
    }
  }
  return largest;
}

double row_sum(const MatrixRows& s, size_t j) {
  double sum = 0.0;
  for (size_t k = 0; k < s.size(); ++k) sum += s[j][k];
  return sum;
}

int32_t first_overflowing_row(const MatrixRows& s) {
  for (size_t j = 0; j < s.size(); ++j) {
    if (!std::isfinite(row_sum(s, j))) return static_cast<int32_t>(j);
  }
  return -1;
}

bool is_negligible(const MatrixRows& s, size_t j, size_t k, double fraction) {
  double coupling = std::fabs(s[j][k]);
  return coupling < fraction * s[j][j] && coupling < fraction * s[k][k];
}

size_t negligible_count(const MatrixRows& s, double fraction) {
  size_t count = 0;
  for (size_t j = 0; j < s.size(); ++j) {
    for (size_t k = j + 1; k < s.size(); ++k)
      count += s[j][k] != 0.0 && is_negligible(s, j, k, fraction) ? 1 : 0;
  }
  return count;
}

void visit_capacitors(const MatrixRows& s, double min_fraction,
                      const std::function<void(const Capacitor&)>& take) {
  std::vector<double> ground(s.size());
  std::vector<int> digits(s.size());
  for (size_t j = 0; j < s.size(); ++j) {
    ground[j] = ground_capacitance(s, j, min_fraction);
    digits[j] = digits_for_port(s, j, ground[j], min_fraction);
  }
  for (size_t j = 0; j < s.size(); ++j) {
    int32_t from = static_cast<int32_t>(j);
    take(Capacitor{from, -1, ground[j], !(ground[j] > 0.0), digits[j]});
    for (size_t k = j + 1; k < s.size(); ++k) {
      if (s[j][k] == 0.0 || is_negligible(s, j, k, min_fraction)) continue;
      take(Capacitor{from, static_cast<int32_t>(k), -s[j][k], s[j][k] > 0.0,
                     std::max(digits[j], digits[k])});
    }
  }
}

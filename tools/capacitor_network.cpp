#include "tools/capacitor_network.h"

#include <algorithm>
#include <cmath>

namespace {

/// (a + b) / 2 without overflow: halving a double is exact (short of
/// subnormals), so this is the correctly rounded mean.
double mean(double a, double b) { return 0.5 * a + 0.5 * b; }

bool is_context(const NetworkChoice& choice, size_t j) {
  return !choice.context.empty() && choice.context[j];
}

/// The capacitance from port j to ground: the row sum of the entries that `choice` keeps, added
/// in the order of k (all of them, the row sum itself, when it leaves none out).
double ground_capacitance(const MatrixRows& s, size_t j, const NetworkChoice& choice) {
  double sum = 0.0;
  for (size_t k = 0; k < s.size(); ++k) {
    if (k == j || !is_negligible(s, j, k, choice)) sum += s[j][k];
  }
  return sum;
}

/// Digits for the capacitors at port j, whose capacitor to ground is `ground`. Printed to p
/// digits, each is off by at most 0.5 * 10^(1-p) of itself, so S(j,j) = ground + couplings is
/// off by at most 0.5 * 10^(1-p) * total, total being the sum of their magnitudes.
/// p = 12 + log10(total / |S(j,j)|) keeps that below 0.5 * 10^-11 * |S(j,j)|.
int digits_for_port(const MatrixRows& s, size_t j, double ground, const NetworkChoice& choice) {
  if (s[j][j] == 0.0) return 17;
  double total = std::fabs(ground);
  for (size_t k = 0; k < s.size(); ++k) {
    if (k != j && !is_negligible(s, j, k, choice)) total += std::fabs(s[j][k]);
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

MatrixRows with_context_rows(const MatrixRows& rows, const std::vector<uint32_t>& masters) {
  const size_t n = rows.empty() ? 0 : rows[0].size();
  MatrixRows c(n, std::vector<double>(n, 0.0));
  std::vector<bool> master(n, false);
  for (size_t m = 0; m < masters.size(); ++m) {
    c[masters[m]] = rows[m];
    master[masters[m]] = true;
  }
  for (size_t k = 0; k < n; ++k) {
    if (master[k]) continue;
    for (uint32_t j : masters) c[k][j] = c[j][k];
    double couplings = 0.0;
    for (uint32_t j : masters) couplings += c[k][j];
    c[k][k] = -couplings;
  }
  return c;
}

bool is_negligible(const MatrixRows& s, size_t j, size_t k, const NetworkChoice& choice) {
  double coupling = std::fabs(s[j][k]), fraction = choice.min_fraction;
  return (is_context(choice, j) || coupling < fraction * s[j][j]) &&
         (is_context(choice, k) || coupling < fraction * s[k][k]);
}

size_t negligible_count(const MatrixRows& s, const NetworkChoice& choice) {
  size_t count = 0;
  for (size_t j = 0; j < s.size(); ++j) {
    for (size_t k = j + 1; k < s.size(); ++k)
      count += s[j][k] != 0.0 && is_negligible(s, j, k, choice) ? 1 : 0;
  }
  return count;
}

void visit_capacitors(const MatrixRows& s, const NetworkChoice& choice,
                      const std::function<void(const Capacitor&)>& take) {
  std::vector<double> ground(s.size());
  std::vector<int> digits(s.size());
  for (size_t j = 0; j < s.size(); ++j) {
    ground[j] = ground_capacitance(s, j, choice);
    digits[j] = digits_for_port(s, j, ground[j], choice);
  }
  for (size_t j = 0; j < s.size(); ++j) {
    int32_t from = static_cast<int32_t>(j);
    if (!is_context(choice, j)) take(Capacitor{from, -1, ground[j], !(ground[j] > 0.0), digits[j]});
    for (size_t k = j + 1; k < s.size(); ++k) {
      if (s[j][k] == 0.0 || is_negligible(s, j, k, choice)) continue;
      take(Capacitor{from, static_cast<int32_t>(k), -s[j][k], s[j][k] > 0.0,
                     std::max(digits[j], digits[k])});
    }
  }
}

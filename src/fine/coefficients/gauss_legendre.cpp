// Gauss–Legendre rules: the nodes are the roots of the Legendre polynomial Pₙ, found by Newton's
// method in long double from Chebyshev estimates; the weights are 2 / ((1 − x²)·Pₙ'(x)²).

#include "fine/coefficients/gauss_legendre.h"

#include <cmath>

namespace {

struct GaussTables {
  // node[n][i], weight[n][i] for i < n
  double node[kMaxGaussLegendrePoints + 1][kMaxGaussLegendrePoints];
  double weight[kMaxGaussLegendrePoints + 1][kMaxGaussLegendrePoints];
};

// Pₙ(x) and Pₙ'(x) by the three-term recurrence.
void legendre(int32_t n, long double x, long double& value, long double& slope) {
  long double previous = 1, current = x;
  for (int32_t k = 2; k <= n; ++k) {
    const long double next = ((2 * k - 1) * x * current - (k - 1) * previous) / k;
    previous = current;
    current = next;
  }
  value = n == 0 ? 1 : current;
  slope = n * (x * current - previous) / (x * x - 1);
}

GaussTables build_tables() {
  GaussTables tables = {};
  const long double pi = 3.141592653589793238462643383279502884L;
  for (int32_t n = 1; n <= kMaxGaussLegendrePoints; ++n) {
    for (int32_t i = 0; i < (n + 1) / 2; ++i) {
      long double x = std::cos(pi * (i + 0.75L) / (n + 0.5L));  // the i-th largest root, nearly
      long double value = 0, slope = 1;
      for (int32_t step = 0; step < 100; ++step) {
        legendre(n, x, value, slope);
        const long double dx = value / slope;
        x -= dx;
        if (std::fabs(dx) <= 1e-19L) break;
      }
      legendre(n, x, value, slope);
      const long double w = 2 / ((1 - x * x) * slope * slope);
      tables.node[n][n - 1 - i] = static_cast<double>(x);
      tables.node[n][i] = -static_cast<double>(x);
      tables.weight[n][i] = tables.weight[n][n - 1 - i] = static_cast<double>(w);
    }
    if (n % 2 == 1) tables.node[n][n / 2] = 0;
  }
  return tables;
}

}  // namespace

GaussRule gauss_legendre(int32_t n) {
  static const GaussTables tables = build_tables();
  return {tables.node[n], tables.weight[n]};
}

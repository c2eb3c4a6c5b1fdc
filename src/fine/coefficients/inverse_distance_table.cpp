// The derivatives of 1/r as polynomials: with T = p / r^m, ∂ₖT = (r²·∂ₖp − m·xₖ·p) / r^(m+2),
// applied to the numerator in exact integer arithmetic (every coefficient stays far below 2⁵³).

#include "fine/coefficients/inverse_distance_table.h"

namespace {

// Degrees up to that of ∂n ∂α^P ∂β^Q (1/r) at P + Q = kFarExpansionMaxOrder.
constexpr int32_t kDegrees = kFarExpansionMaxOrder + 2;

// A polynomial in x, y, z of degree below kDegrees, dense.
struct Polynomial {
  double c[kDegrees][kDegrees][kDegrees] = {};  // c[i][j][l] multiplies x^i·y^j·z^l
};

// With T = p / r^m: ∂ₖT = (r²·∂ₖp − m·xₖ·p) / r^(m+2); returns the new numerator.
Polynomial derivative_numerator(const Polynomial& p, int32_t axis, int32_t m) {
  Polynomial next;
  for (int32_t i = 0; i < kDegrees; ++i) {
    for (int32_t j = 0; j < kDegrees; ++j) {
      for (int32_t l = 0; l < kDegrees; ++l) {
        const double c = p.c[i][j][l];
        if (c == 0) continue;
        const int32_t e[3] = {i, j, l};
        if (e[axis] > 0) {  // r²·∂ₖp: the derivative times x² + y² + z²
          int32_t d[3] = {i, j, l};
          d[axis] -= 1;
          const double dc = c * e[axis];
          for (int32_t s = 0; s < 3; ++s) {
            d[s] += 2;
            next.c[d[0]][d[1]][d[2]] += dc;
            d[s] -= 2;
          }
        }
        int32_t x[3] = {i, j, l};  // −m·xₖ·p
        x[axis] += 1;
        next.c[x[0]][x[1]][x[2]] -= m * c;
      }
    }
  }
  return next;
}

// The coefficients of one (P, Q) from the numerator t of ∂α^P ∂β^Q (1/r), over r^(2(P+Q)+1).
void fill_entry(const Polynomial& t, int32_t p, int32_t q, ExtraDerivative extra,
                DerivativeTable& table) {
  const int32_t k = p + q, axis = static_cast<int32_t>(extra);
  const Polynomial derived =
      extra == ExtraDerivative::none ? t : derivative_numerator(t, axis, 4 * k + 1);
  int32_t term = 0;
  for (int32_t i = 0; i <= k; ++i) {
    for (int32_t j = 0; i + j <= k; ++j) {
      int32_t e[3] = {2 * i, 2 * j, 2 * (k - i - j)};
      if (extra != ExtraDerivative::none) e[axis] += 1;
      table.coefficient[p][q][term++] = derived.c[e[0]][e[1]][e[2]];
    }
  }
}

DerivativeTable build_derivative_table(ExtraDerivative extra) {
  DerivativeTable table = {};
  Polynomial along_alpha;
  along_alpha.c[0][0][0] = 1;  // 1/r
  for (int32_t p = 0; p < kHalfOrders; ++p) {
    Polynomial t = along_alpha;  // numerator of ∂α^(2p) (1/r), over r^(4p+1)
    for (int32_t q = 0; p + q < kHalfOrders; ++q) {
      fill_entry(t, p, q, extra, table);
      for (int32_t step = 0; step < 2 && p + q + 1 < kHalfOrders; ++step) {
        t = derivative_numerator(t, 1, 2 * (2 * (p + q) + step) + 1);
      }
    }
    for (int32_t step = 0; step < 2 && p + 1 < kHalfOrders; ++step) {
      along_alpha = derivative_numerator(along_alpha, 0, 2 * (2 * p + step) + 1);
    }
  }
  return table;
}

}  // namespace

const DerivativeTable& derivative_table(ExtraDerivative extra) {
  static const DerivativeTable tables[3] = {build_derivative_table(ExtraDerivative::none),
                                            build_derivative_table(ExtraDerivative::beta),
                                            build_derivative_table(ExtraDerivative::gamma)};
  return tables[static_cast<int32_t>(extra)];
}

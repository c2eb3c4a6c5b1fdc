#include "fine/coefficients/pair_derivatives.h"

namespace {

constexpr int32_t kDegrees = kFarExpansionMaxOrder + 1;

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

PairDerivatives build_pair_derivatives() {
  PairDerivatives table = {};
  Polynomial along_alpha;
  along_alpha.c[0][0][0] = 1;  // 1/r
  for (int32_t p = 0; p < kHalfOrders; ++p) {
    Polynomial t = along_alpha;  // numerator of ∂α^(2p) (1/r), over r^(4p+1)
    for (int32_t q = 0; p + q < kHalfOrders; ++q) {
      const int32_t k = p + q;
      int32_t term = 0;
      for (int32_t i = 0; i <= k; ++i) {
        for (int32_t j = 0; i + j <= k; ++j) {
          table.coefficient[p][q][term++] = t.c[2 * i][2 * j][2 * (k - i - j)];
        }
      }
      for (int32_t step = 0; step < 2 && p + q + 1 < kHalfOrders; ++step) {
        t = derivative_numerator(t, 1, 2 * (2 * k + step) + 1);
      }
    }
    for (int32_t step = 0; step < 2 && p + 1 < kHalfOrders; ++step) {
      along_alpha = derivative_numerator(along_alpha, 0, 2 * (2 * p + step) + 1);
    }
  }
  return table;
}

}  // namespace

const PairDerivatives& pair_derivatives() {
  static const PairDerivatives table = build_pair_derivatives();
  return table;
}

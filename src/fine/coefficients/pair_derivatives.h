#pragma once

#include <cstdint>

#include "fine/coefficients/pair_expansion.h"

/// The even orders of the pair expansion: 0, 2, …, kFarExpansionMaxOrder.
constexpr int32_t kHalfOrders = kFarExpansionMaxOrder / 2 + 1;

/// The derivatives of 1/r that the pair expansion takes, along the axes α, β, γ of a pair:
/// ∂α^P ∂β^Q (1/r) = r^−(P+Q+1) · Σ coefficient · X^i · Y^j · Z^(k−i−j) for even P and Q,
/// k = (P + Q)/2, (X, Y, Z) the squared components of the unit vector along α, β, γ.
struct PairDerivatives {
  // coefficient[P/2][Q/2][term]: term enumerates (i, j) with i + j ≤ k, i outer, j inner
  double coefficient[kHalfOrders][kHalfOrders][(kHalfOrders * (kHalfOrders + 1)) / 2];
};

/// The table, made once, from the derivatives of 1/r written as polynomials over powers of r.
const PairDerivatives& pair_derivatives();

#pragma once

#include <cstdint>

#include "fine/coefficients/pair_expansion.h"

/// Orders 0, 2, …, kFarExpansionMaxOrder of the far expansions.
constexpr int32_t kHalfOrders = kFarExpansionMaxOrder / 2 + 1;

/// Which derivative of 1/r, besides the even ones along α and β, a table holds.
enum class ExtraDerivative : int32_t {
  none = 0,   // ∂α^P ∂β^Q (1/r)
  beta = 1,   // ∂β ∂α^P ∂β^Q (1/r)
  gamma = 2,  // ∂γ ∂α^P ∂β^Q (1/r)
};

/// The derivatives of 1/r for even P and Q as polynomials in the direction of r: with
/// k = (P + Q)/2 and (X, Y, Z) the squared components of the unit vector r̂ along α, β, γ,
///   ∂α^P ∂β^Q (1/r) = r^−(P+Q+1) · Σ coefficient · X^i · Y^j · Z^(k−i−j),
///   ∂n ∂α^P ∂β^Q (1/r) = r̂ₙ · r^−(P+Q+2) · Σ coefficient · X^i · Y^j · Z^(k−i−j) (n = β, γ).
struct DerivativeTable {
  // coefficient[P/2][Q/2][term]: term enumerates (i, j) with i + j ≤ k, i outer, j inner
  double coefficient[kHalfOrders][kHalfOrders][(kHalfOrders * (kHalfOrders + 1)) / 2];
};

/// The table of each kind, made once.
const DerivativeTable& derivative_table(ExtraDerivative extra);

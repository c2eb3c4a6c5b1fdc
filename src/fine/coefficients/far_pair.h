#pragma once

// A pair of rectangles seen from its centre-to-centre vector D = (centre of a) − (centre of b):
// the moments of w = x − x', x uniform on a and x' on b, and the sums of the far expansions.
// The three axes are named α, β, γ: for parallel rectangles α and β lie in their plane and γ is
// the normal, along which w has no spread; for perpendicular ones α is the axis both span, β
// the one only a spans (b's normal) and γ the one only b spans (a's normal).

#include <cstdint>

#include "fine/coefficients/inverse_distance_table.h"
#include "fine/coefficients/pair_expansion.h"
#include "structure/axis_rect.h"

/// Beyond this reach no order up to the highest meets any useful tolerance, for any shapes and
/// for the pair's own: expansion_order_within gives -1.
constexpr double kLargestReach = 0.5;

/// Beyond this reach the pair's own moments are not tried: no order meets a useful tolerance.
constexpr double kLargestOwnReach = 0.42;

/// The moments kept: one more than the orders, for the bound.
constexpr int32_t kMomentCount = kHalfOrders + 1;

/// A pair seen from its centre-to-centre vector D, every length in units of |D|.
struct FarPair {
  double distance;                 // |D|
  double direction[3];             // squared components of D/|D| along α, β, γ
  double unit[3];                  // components of D/|D| along α, β, γ
  double half_a[3];                // half the extent of a along α, β, γ, over |D|
  double half_b[3];                // half the extent of b along α, β, γ, over |D|
  double reach;                    // (half-diagonal of a + half-diagonal of b) / |D|
  double area_product;             // A·A'
  int32_t moments;                 // how many of the c(2i) below are filled
  double moment[3][kMomentCount];  // c(2i) = ⟨w^(2i)⟩/(2i)! along α, β, γ
};

FarPair far_pair(const AxisRect& a, const AxisRect& b);

/// Σ over even orders n ≤ `order` of the n-th moments of w against the n-th derivatives in
/// `table` (their directional polynomials, at D), the moments filled as needed: 1/|D + w|
/// averaged, in units of 1/|D|, for the plain table.
double expansion_sum(FarPair& pair, int32_t order, const DerivativeTable& table);

/// What an expansion's truncation is bounded against.
enum class ExpansionOf : int32_t {
  potential = 0,     // 1/|D + w| averaged, relative to itself
  normal_field = 1,  // a derivative of it along a unit vector, relative to 1/|D|²
};

/// The largest ⟨|w|^(2k)⟩, in units of |D|^(2k) (|D|·reach the half-diagonals' sum), that keeps
/// the expansion's terms from order 2k on within `tolerance` (relative as `of` says).
double moment_allowance(ExpansionOf of, double tolerance, double reach, int32_t k);

/// ⟨|w|^(2k)⟩ in units of |D|^(2k) for k < kMomentCount, from the pair's moments (filled).
void pair_spreads(FarPair& pair, double spread[kMomentCount]);

/// The lowest even order whose truncation error is within `tolerance`, as `bound` allows (see
/// far_expansion_within); -1 when none up to kFarExpansionMaxOrder is.
int32_t expansion_order_within(FarPair& pair, ExpansionOf of, double tolerance,
                               FarOrderBound bound);

/// The lowest even order that the bound for any shapes or the pair's own moments allows; -1 if
/// none.
int32_t lowest_expansion_order(FarPair& pair, ExpansionOf of, double tolerance);

#pragma once

#include "structure/axis_rect.h"

/// The highest order of the far expansion (even).
constexpr int32_t kFarExpansionMaxOrder = 10;

/// I(a, b) = ∬_a ∬_b dA dA' / |x − x'| from the Taylor expansion of 1/|x − x'| about the
/// centres: A·A'·Σ over even n ≤ `order` of the n-th moments of x − x' (x, x' spread uniformly
/// over a and b) against the n-th derivatives of 1/|D|, D from centre to centre. `order` is even,
/// from 0 to kFarExpansionMaxOrder; D must not be zero.
double far_expansion_integral(const AxisRect& a, const AxisRect& b, int32_t order);

/// The lowest even order whose truncation error is bounded, through the next moment of
/// |x − x'| (the pair's own, or the largest any shapes of that reach can have) and the tail of
/// a geometric series, by `tolerance` relative; -1 when no order up to kFarExpansionMaxOrder is
/// (the rectangles are too close for the expansion).
int32_t far_expansion_order(const AxisRect& a, const AxisRect& b, double tolerance);

/// How far_expansion_within may find the order.
enum class FarOrderBound : int32_t {
  any_shape = 0,  // only the bound rⁿ/(n + 1) on the n-th moment (r the reach), which holds for
                  // any two rectangles and costs nothing, and only if it allows order 8 or less
  own_shape = 1,  // then also the pair's own moments, which cost about a low order's expansion
};

/// I(a, b) by the far expansion of the lowest order whose truncation error is bounded by
/// `tolerance` relative, if an order up to kFarExpansionMaxOrder is (as `bound` allows): true,
/// and `integral` set.
bool far_expansion_within(const AxisRect& a, const AxisRect& b, double tolerance,
                          FarOrderBound bound, double& integral);

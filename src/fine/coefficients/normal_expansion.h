#pragma once

#include <cstdint>

#include "fine/coefficients/pair_expansion.h"
#include "structure/axis_rect.h"

/// K(t, s) = ∬_t ∬_s n_t · ∇_x (1/|x − x'|) dA' dA from the Taylor expansion of 1/|x − x'|
/// about the centres: A_t·A_s·Σ over even n ≤ `order` of the n-th moments of x − x' against
/// the derivatives along n_t of the n-th derivatives of 1/|D|, D from the source's centre to
/// the target's. `order` is even, from 0 to kFarExpansionMaxOrder; D must not be zero.
double normal_expansion_integral(const AxisRect& target, const AxisRect& source, int32_t order);

/// The lowest even order whose truncation error is bounded by `tolerance` relative to
/// A_t·A_s/|D|², through the next moment of |x − x'| (the pair's own, or the largest any shapes
/// of that reach can have); -1 when no order up to kFarExpansionMaxOrder is.
int32_t normal_expansion_order(const AxisRect& target, const AxisRect& source, double tolerance);

/// K(t, s) by the expansion of the lowest order whose truncation error is so bounded, if one up
/// to kFarExpansionMaxOrder is (as `bound` allows, see far_expansion_within): true, and
/// `integral` set.
bool normal_expansion_within(const AxisRect& target, const AxisRect& source, double tolerance,
                             FarOrderBound bound, double& integral);

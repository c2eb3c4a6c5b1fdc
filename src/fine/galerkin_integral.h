#pragma once

#include "fine/axis_rect.h"

/// I(a, b) = ∬_a ∬_b dA dA' / |x − x'|, in length³: a and b may be the same rectangle, touch
/// along an edge or at a corner, overlap in projection, be coplanar, parallel or perpendicular
/// (but not overlap with positive area unless identical). Within 1e-6 relative of the exact
/// value from touching to any distance; galerkin_integral(a, b) and (b, a) are the same bits.
/// The coefficient of potential between unit charges spread over a and b is I / (A·A').
double galerkin_integral(const AxisRect& a, const AxisRect& b);

#pragma once

#include "structure/axis_rect.h"

/// I(a, b) = ∬_a ∬_b dA dA' / |x − x'|, in length³: a and b may be the same rectangle, touch
/// along an edge or at a corner, overlap in projection, be coplanar, parallel or perpendicular
/// (but not overlap with positive area unless identical). Within 1e-6 relative of the exact
/// value at every distance, size ratio and aspect ratio (bounds of 1e-7 on each means'
/// truncation, rounding below 2e-12; measured worst 1e-7). The same bits for (a, b) and (b, a),
/// on every instruction-set path, in every run. Only ratios of the pair's lengths choose the
/// means, so a pair in another unit gives s³ times the value (to the rounding of the inputs).
/// The coefficient of potential between unit charges spread over a and b is I / (A·A').
double galerkin_integral(const AxisRect& a, const AxisRect& b);

/// The largest relative error of the means galerkin_integral chooses among: their truncation
/// bounds (the far expansion's, the Gauss–Legendre rules') with the rounding below 2e-12.
constexpr double kMeansBound = 1.0001e-7;

/// I(a, b) with the far expansion kept where its truncation bound is within `far_tolerance` of I
/// (taken as at least its own 1e-7), and above 1e-7 the closed form in double where its
/// rounding is within a hundredth of it: an error of at most max(far_tolerance, kMeansBound) · I.
/// With 1e-7, the bits of galerkin_integral.
double galerkin_integral_to(const AxisRect& a, const AxisRect& b, double far_tolerance);

/// I(a, b) where the caller also accepts an absolute error up to `allowance` (in length³, as I):
/// a means is then kept where its own bound allows that, even if not its relative one (the far
/// expansion of a lower order or at a smaller distance ratio, the closed form in double with more
/// rounding). The error is at most kMeansBound · I + allowance (a split of the larger rectangle
/// may take the allowance on its near part beside the bound on the rest); with `allowance` 0, the
/// bits of galerkin_integral. `try_far` false skips the far expansion, where the caller has found
/// that it would refuse the pair (image_pair.h): the same value, sooner.
double galerkin_integral_within(const AxisRect& a, const AxisRect& b, double allowance,
                                bool try_far = true);

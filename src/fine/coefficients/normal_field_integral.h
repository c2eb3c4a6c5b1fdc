#pragma once

#include "structure/axis_rect.h"

/// K(t, s) = ∬_t ∬_s n_t · ∇_x (1/|x − x'|) dA' dA, x on the target t, x' on the source s,
/// n_t the unit vector along t's axis (+ direction), in length²: the normal field that a unit
/// density on s makes on t, integrated over t. The principal value, 0, where t and s lie in one
/// plane (they must then not overlap with positive area unless identical); finite for touching
/// ones. Within 1e-6 of the exact value in units of normal_field_scale(t, s) at every distance,
/// size ratio and aspect ratio (bounds of 1e-7 on each means' truncation, rounding below 1e-9;
/// measured worst 7e-8). For parallel t and s, K(s, t) = −K(t, s) to the bit; the same bits on
/// every instruction-set path, in every run. Only ratios of the pair's lengths choose the means,
/// so a pair in another unit gives s² times the value (to the rounding of the inputs and of the
/// means, measured within 4e-11 of the scale).
double normal_field_integral(const AxisRect& target, const AxisRect& source);

/// The largest error of the means normal_field_integral chooses among, in units of
/// normal_field_scale: their truncation bounds with the rounding.
constexpr double kNormalMeansBound = 1.01e-7;

/// K(t, s) where the caller also accepts an absolute error up to `allowance` (length², as K): a
/// means is then kept where its own bound allows that (the far expansion of a lower order, the
/// closed form in double with more rounding). The error is at most
/// kNormalMeansBound · normal_field_scale + allowance; with `allowance` 0, the bits of
/// normal_field_integral. `try_far` false skips the far expansion, where the caller has found
/// that it would refuse the pair (image_pair.h).
double normal_field_integral_within(const AxisRect& target, const AxisRect& source,
                                    double allowance, bool try_far = true);

/// The yardstick of normal_field_integral's accuracy, a bound on |K| within a small factor:
///   min(2π·min(A_t, A_s), A_t·A_s/g²),  g the shortest distance between t and s
/// (|K| ≤ 2π·min(A_t, A_s) for parallel pairs, as the solid angle of a plane is at most 2π, and
/// ≤ A_t·A_s/g² for any; perpendicular pairs that touch can reach a few times the first, by the
/// logarithm of the ratio of their sizes).
double normal_field_scale(const AxisRect& target, const AxisRect& source);

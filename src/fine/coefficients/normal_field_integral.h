#pragma once

#include "structure/axis_rect.h"

/// K(t, s) = ∬_t ∬_s n_t · ∇_x (1/|x − x'|) dA' dA, x on the target t, x' on the source s,
/// n_t the unit vector along t's axis (+ direction), in length²: the normal field that a unit
/// density on s makes on t, integrated over t. The principal value, 0, where t and s lie in one
/// plane (they must then not overlap with positive area unless identical); finite for touching
/// ones. Within 1e-6 of the exact value in units of normal_field_scale(t, s) at every distance,
/// size ratio and aspect ratio (bounds of 1e-7 on each means' truncation, rounding below 2e-12).
/// For parallel t and s, K(s, t) = −K(t, s) to the bit; the same bits on every instruction-set
/// path, in every run. Only ratios of the pair's lengths choose the means, so a pair in another
/// unit gives s² times the value (to the rounding of the inputs).
double normal_field_integral(const AxisRect& target, const AxisRect& source);

/// The yardstick of normal_field_integral's accuracy, a bound on |K| within a small factor
/// (|K| ≤ 2π·min(A_t, A_s) for parallel pairs, ≈ A_t·A_s·|cos|/D² far apart, with logarithms of
/// the aspect ratio at most beyond it where perpendicular ones touch):
///   A_t·A_s / max(D², max(A_t, A_s)/(2π)),  D the distance between the centres.
double normal_field_scale(const AxisRect& target, const AxisRect& source);

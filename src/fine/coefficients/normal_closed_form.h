#pragma once

#include "structure/axis_rect.h"

/// K(t, s) = ∬_t ∬_s n_t · ∇_x (1/|x − x'|) dA' dA by the closed form of parallel or
/// perpendicular rectangles (sixteen terms of one primitive, the derivative of the potential
/// integral's along t's normal) in double, for t and s not in one plane. The terms grow like the
/// largest corner distance R squared while K is at most about A·A'/R², and their rounding is what
/// is left; parallel pairs thin along one axis, and perpendicular pairs always, take the sums with
/// the parts that the differences cancel taken out first (normal_field_kernels.h). `rounding` is
/// set to a bound on the absolute rounding error in units of 2⁻⁵³, within a small factor: the
/// magnitudes of the terms' parts.
double normal_closed_form(const AxisRect& target, const AxisRect& source, double& rounding);

/// The plain closed form in long double: about R⁴/(A·A') units of its last place are lost
/// against A·A'/R², which leaves 2048 times as many digits as double would.
double extended_normal_closed_form(const AxisRect& target, const AxisRect& source);

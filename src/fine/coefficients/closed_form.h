#pragma once

#include "structure/axis_rect.h"

/// I(a, b) = ∬_a ∬_b dA dA' / |x − x'| by the closed form of parallel or perpendicular
/// rectangles (sixteen terms of one primitive) in double. Exact in principle at any distance,
/// but the terms grow like the largest corner distance R cubed while I is about A·A'/R, and
/// their rounding is what is left. Perpendicular pairs, and parallel pairs whose differences
/// along one axis of their plane are small, take the sums with the parts that the differences
/// cancel taken out first (closed_form_kernels.h), which round far less. `rounding` is set to
/// a bound on the relative rounding error in units of 2⁻⁵³, within a small factor (sweeps of
/// every kind of pair stayed below 1.7 times it): the magnitudes of the terms' parts over |I|.
double closed_form_integral(const AxisRect& a, const AxisRect& b, double& rounding);

/// The plain closed form in long double: about R⁴/(A·A') units of its last place are lost,
/// which leaves 2048 times as many digits as double would.
double extended_closed_form_integral(const AxisRect& a, const AxisRect& b);

/// I(a, a) of one rectangle with itself, to a few units of the last place at any aspect ratio.
double self_integral(const AxisRect& a);

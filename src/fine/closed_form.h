#pragma once

#include "fine/axis_rect.h"

/// I(a, b) = ∬_a ∬_b dA dA' / |x − x'| by the closed form of parallel or perpendicular
/// rectangles (sixteen terms of one primitive) in double. Exact in principle at any distance,
/// but the terms grow like the largest corner distance R cubed while I is about A·A'/R, and
/// their rounding is what is left: `rounding` is set to the sum of the magnitudes of all parts
/// of all terms over |I|, the relative error in units of the last place within a small factor.
double closed_form_integral(const AxisRect& a, const AxisRect& b, double& rounding);

/// The same closed form in long double: the same loss of digits, from 2048 times fewer.
double extended_closed_form_integral(const AxisRect& a, const AxisRect& b);

/// I(a, a) of one rectangle with itself, to a few units of the last place at any aspect ratio.
double self_integral(const AxisRect& a);

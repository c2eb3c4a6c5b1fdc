#pragma once

#include "fine/axis_rect.h"

/// I(a, b) = ∬_a ∬_b dA dA' / |x − x'| by the closed form of parallel or perpendicular
/// rectangles (sixteen terms of one primitive), in double or, when `extended`, in long double
/// arithmetic. Exact in principle at any distance, but the terms grow like the largest corner
/// distance R cubed while I is about A·A'/R: rounding costs about R⁴/(A·A') units of the last
/// place, which decides where the caller may use it.
double closed_form_integral(const AxisRect& a, const AxisRect& b, bool extended);

/// I(a, a) of one rectangle with itself, to a few units of the last place at any aspect ratio.
double self_integral(const AxisRect& a);

#pragma once

#include "structure/axis_rect.h"

/// ∬_r dA / |p − x| in long double: the corner formula of the potential of a uniformly charged
/// rectangle, written out here apart from the code under test.
long double reference_potential(const AxisRect& r, const long double point[3]);

/// I(a, b) = ∬_b φ_a dA' by numerical integration in long double of the potential of a over b:
/// b is cut at the lines where the potential is not smooth (over the edges of a, and where b
/// crosses a's plane), and each piece gets a tanh-sinh rule, which takes the logarithmic
/// singularities at its edges; a b far from a gets a plain Gauss–Legendre rule.
long double reference_integral(const AxisRect& a, const AxisRect& b);

/// I(a, b) by the product Gauss–Legendre rule with `points` points along each side of both
/// rectangles, in long double: for rectangles apart from each other, where 1/|x − y| is smooth
/// over them and the rule converges geometrically in `points`.
long double gauss_integral(const AxisRect& a, const AxisRect& b, int points);

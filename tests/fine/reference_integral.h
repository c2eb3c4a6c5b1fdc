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

/// ∬_r n_r · ∇_x (1/|x − p|) dA (x on r, n_r along r's axis): the potential of a unit double
/// layer on r at p, a sum of signed solid angles, 0 in r's plane.
long double reference_double_layer(const AxisRect& r, const long double point[3]);

/// K(t, s) = ∬_t ∬_s n_t · ∇_x (1/|x − x'|) dA' dA in long double: for a pair far apart by
/// product Gauss–Legendre rules on both; for a target small against its distance from the source
/// by such a rule on the target in the source's field; else the double layer of the target
/// integrated over the source, along one of its axes in closed form and along the other by
/// tanh-sinh rules on pieces graded towards the target's edges. 0 where t and s lie in one
/// plane.
long double reference_normal_field(const AxisRect& target, const AxisRect& source);

/// I(a, b) by the product Gauss-Legendre rule of `points` per side on both rectangles: exact
/// enough for pairs far apart against their sizes, as a plain check of the far field.
long double gauss_integral(const AxisRect& a, const AxisRect& b, int points);

#pragma once

#include "fine/media/image_term.h"
#include "structure/axis_rect.h"

/// Σ_n w_n I(a, image_n(b)) over the kernel's images of the source b, the target a: the Galerkin
/// integral of a pair of rectangles in a layer stack, in length³ over permittivity.
///
/// Each term is computed as galerkin_integral_within it with an allowance from one budget, so
/// that the sum's error stays within kLayeredIntegralBound · Σ_n |w_n| I_n, what
/// galerkin_integral's 1e-6 on every term gives: an image whose share of the sum is small takes a
/// cheaper means.
double layered_potential_integral(const AxisRect& a, const AxisRect& b,
                                  const LayerPairKernel& kernel);

/// The bound on layered_potential_integral's error relative to Σ_n |w_n| I_n, and on
/// layered_normal_field's relative to Σ_n |w_n| normal_field_scale(a, image_n(b)).
constexpr double kLayeredIntegralBound = 1e-6;

/// Σ_n w_n K(a, image_n(b)) (normal_field_integral, a the target), each term with an allowance
/// from one budget as layered_potential_integral's: within kLayeredIntegralBound of Σ_n |w_n| times
/// each term's normal_field_scale, what normal_field_integral's 1e-6 of it on every term gives.
double layered_normal_field(const AxisRect& a, const AxisRect& b, const LayerPairKernel& kernel);

/// A lower bound on I(a, b): by Jensen's inequality ⟨1/r⟩ ≥ 1/⟨r⟩ ≥ 1/√⟨r²⟩, and ⟨r²⟩ over two
/// uniform rectangles is the squared distance of their centres plus the variances of their sides
/// (s²/12 each).
double galerkin_lower_bound(const AxisRect& a, const AxisRect& b);

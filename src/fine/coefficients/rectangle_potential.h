#pragma once

#include <cstdint>

#include "structure/axis_rect.h"

/// ∬_b φ(x') dA' where φ is the potential of a, less that of `hole` if `has_hole` (a rectangle
/// in a's plane, inside a), by the product Gauss–Legendre rule with `nodes_u` × `nodes_v` points
/// on b, along its first and second in-plane axis (each from 1 to kMaxGaussLegendrePoints).
double integrated_potential(const AxisRect& a, const AxisRect& hole, bool has_hole,
                            const AxisRect& b, int32_t nodes_u, int32_t nodes_v);

/// ∬_b ∂φ/∂x_axis dA' likewise: the derivative of that potential along the coordinate axis
/// `axis` (0, 1 or 2), at points of b off a's edges.
double integrated_field(const AxisRect& a, const AxisRect& hole, bool has_hole, const AxisRect& b,
                        int32_t axis, int32_t nodes_u, int32_t nodes_v);

#pragma once

#include "fine/axis_rect.h"

// Development stand-in; the full coefficient library replaces it.
double galerkin_integral(const AxisRect& a, const AxisRect& b);

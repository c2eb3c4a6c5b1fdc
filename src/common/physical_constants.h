#pragma once

/// 4π ε0 in 10⁻¹² F per metre, with ε0 = 8.85 × 10⁻¹² F/m, to fifteen digits: charges of
/// potential coefficients in the coordinates' unit, times it, are capacitances in 10⁻¹² F times
/// that unit in metres.
constexpr double kFourPiEpsilon0 = 111.212379937086;

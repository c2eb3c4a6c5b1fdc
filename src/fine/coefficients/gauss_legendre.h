#pragma once

#include <cstdint>

/// The most points of a rule gauss_legendre gives.
constexpr int32_t kMaxGaussLegendrePoints = 32;

/// The n-point Gauss–Legendre rule on [−1, 1], n from 1 to kMaxGaussLegendrePoints: nodes in
/// ascending order and their weights, each to within a unit of the last place.
struct GaussRule {
  const double* node;    // n nodes, ascending, symmetric about 0
  const double* weight;  // n weights, summing to 2
};
GaussRule gauss_legendre(int32_t n);

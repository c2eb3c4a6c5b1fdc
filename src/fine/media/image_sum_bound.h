#pragma once

#include <cmath>
#include <vector>

/// A bound, from above, on the spatial size of a sum of images on and beyond a plane:
///   sup_rho rho |P(rho)| + h0 sup_rho |P(rho)|,  P(rho) = sum_n w_n / sqrt(rho^2 + (h0 + q_n)^2),
/// rates q_n > 0 and h0 = least_height >= 0. P(rho) at height h0 is the potential of the
/// images of spectral weight w_n e^{-k q_n}; by Kelvin's inversion about the point h0 above the
/// source and the maximum principle, this bounds |x - x'| |P| everywhere at heights >= h0.
/// Sampled in log rho, each cell bounded by its ends plus the curvature of every term over it;
/// cells are halved until that margin is below `resolution` (or 2^-6 of their first width),
/// and left where they cannot raise the bound found so far. HUGE_VAL as soon as the bound is
/// known to exceed `limit`: cancelling weights of 10^5 and more make the curvature's margin,
/// and the bound with it, useless long before the cells reach their narrowest.
double image_sum_bound(const std::vector<double>& rate, const std::vector<double>& weight,
                       double least_height, double resolution, double limit = HUGE_VAL);

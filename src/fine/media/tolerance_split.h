#pragma once

#include <cstdint>
#include <vector>

#include "fine/media/exponential_fit.h"

/// The fit of each coefficient function that together use the fewest images: sums[f][n] is a
/// fit of function f with n terms, which the kernel holds multiplicity[f] times, and the
/// chosen indices minimize sum_f multiplicity[f] n_f subject to
///   sum_f multiplicity[f] sums[f][n_f].bound <= budget
/// (of equal counts, the smallest such sum). Where no choice meets the budget, each function's
/// fit of the smallest bound.
std::vector<int32_t> cheapest_split(const std::vector<std::vector<ExponentialSum>>& sums,
                                    const std::vector<int32_t>& multiplicity, double budget);

#pragma once

#include <cstdint>

#include "sparse/sparse_matrix.h"

/// The sum of a[i]·b[i] for i from 0 to n-1, added in ascending order from 0.0; 0.0 when n < 1.
double dot_product(const double* a, const double* b, int32_t n);

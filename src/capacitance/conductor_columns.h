#pragma once

#include <cstdint>

// The right-hand side of one conductor's solve and the column of the capacitance matrix that its
// solution gives. Conductor k owns the unknowns 6k .. 6k+5: its six input panels.

/// b (n values) = the excitation of conductor k: 4π·8.85 on its six unknowns, zero elsewhere.
void conductor_excitation(int32_t k, int32_t n, double* b);

/// column[j] = the charge of conductor j (j < m) in the solution x: its six unknowns added in
/// ascending order, starting from 0.0.
void conductor_charges(const double* x, int32_t m, double* column);

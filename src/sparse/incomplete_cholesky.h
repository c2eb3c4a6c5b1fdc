#pragma once

#include <cstdint>
#include <memory>

#include "sparse/sparse_matrix.h"

/// Incomplete factorisation P ≈ Uᵀ·D·U of a rebuilt SYMM matrix, as a new matrix of format LDU
/// with the identity as `row_perm`: the diagonal entries hold D, the entries above it hold U.
///
/// The factor has P's positions plus every fill-in (k, d) whose U(k, d)/D(k) lies strictly inside
/// (-drop_tolerance, drop_tolerance); a tolerance of 0.0 admits none. Returns null, with
/// `failed_row` set, when a row does not start with its diagonal entry. A pivot that is not
/// positive ends the run with "Non positive definited matrix!!\n". vornax-fine factors its near
/// coefficients on its own (fine/solve/incomplete_factor.h), weak entries dropped and the diagonal
/// raised, which this factor, vornax's defined computation to the bit, must never do.
std::unique_ptr<SparseMatrix> incomplete_cholesky(const SparseMatrix& P, int32_t& failed_row,
                                                  double drop_tolerance);

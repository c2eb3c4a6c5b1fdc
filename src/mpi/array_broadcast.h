#pragma once

#include <cstdint>

#include "mpi/mpi_link.h"
#include "sparse/compact_arrays.h"

/// What a worker needs to know before the arrays come: their sizes and the solve parameters.
struct SolveHeader {
  int32_t n = 0;                // order of P and of the factor
  int64_t p_entries = 0;        // entries of P besides the leading diagonals
  int64_t factor_entries = 0;   // entries of the factor besides the pivots
  int32_t conductor_count = 0;  // conductors, one solve each
  double tolerance = 0.0;       // residual bound of every solve
  bool all_finite = true;       // P holds no infinite or NaN value
};

/// The header of P and F as a kHeader control message, and back.
Control header_message(const SolveHeader& header);
SolveHeader header_from_message(const Control& message);

/// The header that describes P and F.
SolveHeader describe(const CompactSymmetric& P, const CompactFactor& F, double tolerance,
                     int32_t conductor_count);

/// The bytes that broadcast_arrays moves to each rank.
int64_t array_bytes(const CompactSymmetric& P, const CompactFactor& F);

/// Every rank of MPI_COMM_WORLD calls this at once: rank 0's arrays of P and F are copied into
/// every other rank's, which have the sizes of rank 0's header.
void broadcast_arrays(CompactSymmetric& P, CompactFactor& F);

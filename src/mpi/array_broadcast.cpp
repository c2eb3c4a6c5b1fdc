#include "mpi/array_broadcast.h"

#include <mpi.h>

#include <algorithm>
#include <cstddef>
#include <cstring>

namespace {

// MPI counts are int: large arrays go in pieces of at most this many bytes.
constexpr std::size_t kPieceBytes = std::size_t{1} << 28;

void broadcast_bytes(void* data, std::size_t bytes) {
  char* start = static_cast<char*>(data);
  for (std::size_t done = 0; done < bytes;) {
    const std::size_t piece = std::min(kPieceBytes, bytes - done);
    MPI_Bcast(start + done, static_cast<int>(piece), MPI_BYTE, 0, MPI_COMM_WORLD);
    done += piece;
  }
}

template <typename T>
void broadcast(T* data, int64_t count) {
  broadcast_bytes(data, static_cast<std::size_t>(count) * sizeof(T));
}

}  // namespace

Control header_message(const SolveHeader& header) {
  Control message;
  message.word[0] = kHeader;
  message.word[1] = header.n;
  message.word[2] = header.p_entries;
  message.word[3] = header.factor_entries;
  message.word[5] = header.conductor_count;
  std::memcpy(&message.word[6], &header.tolerance, sizeof(double));
  message.word[7] = header.all_finite ? 1 : 0;
  return message;
}

SolveHeader header_from_message(const Control& message) {
  SolveHeader header;
  header.n = static_cast<int32_t>(message.word[1]);
  header.p_entries = message.word[2];
  header.factor_entries = message.word[3];
  header.conductor_count = static_cast<int32_t>(message.word[5]);
  std::memcpy(&header.tolerance, &message.word[6], sizeof(double));
  header.all_finite = message.word[7] != 0;
  return header;
}

SolveHeader describe(const CompactSymmetric& P, const CompactFactor& F, double tolerance,
                     int32_t conductor_count) {
  SolveHeader header;
  header.n = P.n;
  header.p_entries = P.row_start[P.n];
  header.factor_entries = F.row_start[F.n];
  header.conductor_count = conductor_count;
  header.tolerance = tolerance;
  header.all_finite = P.all_finite;
  return header;
}

int64_t array_bytes(const CompactSymmetric& P, const CompactFactor& F) {
  const int64_t n = P.n;
  const int64_t per_row = 1 + 8 + 8 + 2 * 8;  // flag, diagonal, pivot, two offsets
  const int64_t per_entry = 4 + 8;            // column and value
  return n * per_row + 2 * 8 + (P.row_start[n] + F.row_start[n]) * per_entry;
}

void broadcast_arrays(CompactSymmetric& P, CompactFactor& F) {
  // The entry counts are read from the row offsets once these have arrived.
  const int32_t n = P.n;
  broadcast(P.has_diagonal, n);
  broadcast(P.diagonal, n);
  broadcast(P.row_start, int64_t{n} + 1);
  broadcast(P.col, P.row_start[n]);
  broadcast(P.value, P.row_start[n]);
  broadcast(F.pivot, n);
  broadcast(F.row_start, int64_t{n} + 1);
  broadcast(F.row_col, F.row_start[n]);
  broadcast(F.row_value, F.row_start[n]);
}

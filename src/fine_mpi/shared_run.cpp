#include "fine_mpi/shared_run.h"

#include <mpi.h>

#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <sstream>

namespace {

bool running = false;  // the rank's part is not over yet

void abort_job() {
  if (running) MPI_Abort(MPI_COMM_WORLD, 1);
}

/// Broadcasts `text` from rank 0 in pieces that MPI's counts can hold.
void broadcast_text(std::string& text) {
  int64_t size = static_cast<int64_t>(text.size());
  MPI_Bcast(&size, 1, MPI_INT64_T, 0, MPI_COMM_WORLD);
  text.resize(static_cast<size_t>(size));
  constexpr int64_t kPiece = int64_t{1} << 30;
  for (int64_t at = 0; at < size; at += kPiece) {
    const int64_t count = size - at < kPiece ? size - at : kPiece;
    MPI_Bcast(&text[static_cast<size_t>(at)], static_cast<int>(count), MPI_CHAR, 0, MPI_COMM_WORLD);
  }
}

}  // namespace

bool read_on_rank_zero(const std::string& path, std::string& text) {
  int rank = 0;
  MPI_Comm_rank(MPI_COMM_WORLD, &rank);
  int read = 0;
  if (rank == 0) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream content;
    if (in) content << in.rdbuf();
    read = in && !in.bad() ? 1 : 0;
    if (read == 1) text = content.str();
  }
  MPI_Bcast(&read, 1, MPI_INT, 0, MPI_COMM_WORLD);
  if (read == 0) return false;
  broadcast_text(text);
  return true;
}

int64_t smallest_over_ranks(int64_t bytes) {
  int64_t smallest = bytes;
  MPI_Allreduce(&bytes, &smallest, 1, MPI_INT64_T, MPI_MIN, MPI_COMM_WORLD);
  return smallest;
}

void abort_job_on_exit() {
  running = true;
  std::atexit(abort_job);
}

void end_shared_run() {
  running = false;
  MPI_Finalize();
}

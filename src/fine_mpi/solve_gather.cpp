#include "fine_mpi/solve_gather.h"

#include <mpi.h>

#include <algorithm>

namespace {

/// Doubles one broadcast moves at the most: MPI counts are ints.
constexpr int64_t kLargestMessage = int64_t{1} << 26;

/// Broadcasts `values` from `root` in pieces that MPI's counts can hold.
void broadcast_doubles(std::vector<double>& values, int root) {
  for (int64_t at = 0; at < static_cast<int64_t>(values.size()); at += kLargestMessage) {
    const int64_t count = std::min<int64_t>(kLargestMessage, values.size() - at);
    MPI_Bcast(values.data() + at, static_cast<int>(count), MPI_DOUBLE, root, MPI_COMM_WORLD);
  }
}

}  // namespace

void gather_solves(std::vector<double>& solution, std::vector<double>& product, int32_t conductors,
                   int32_t group_width, int64_t& iterations, bool& converged) {
  int rank = 0;
  int ranks = 1;
  MPI_Comm_rank(MPI_COMM_WORLD, &rank);
  MPI_Comm_size(MPI_COMM_WORLD, &ranks);
  const int64_t panels = conductors > 0 ? static_cast<int64_t>(solution.size()) / conductors : 0;
  const int32_t groups = (conductors + group_width - 1) / group_width;
  std::vector<double> columns;
  for (int32_t g = 0; g < groups; ++g) {
    const int32_t owner = group_owner(g, ranks);
    const int32_t first = g * group_width;
    const int32_t width = std::min(group_width, conductors - first);
    columns.resize(static_cast<size_t>(2 * panels * width));
    if (rank == owner) {
      double* to = columns.data();
      for (int64_t i = 0; i < panels; ++i) {
        const size_t at = static_cast<size_t>(i) * conductors + first;
        to = std::copy(solution.begin() + at, solution.begin() + at + width, to);
        to = std::copy(product.begin() + at, product.begin() + at + width, to);
      }
    }
    broadcast_doubles(columns, owner);
    if (rank != owner) {
      const double* from = columns.data();
      for (int64_t i = 0; i < panels; ++i) {
        const size_t at = static_cast<size_t>(i) * conductors + first;
        std::copy(from, from + width, solution.begin() + at);
        std::copy(from + width, from + 2 * width, product.begin() + at);
        from += 2 * width;
      }
    }
  }
  int64_t all_iterations = 0;
  MPI_Allreduce(&iterations, &all_iterations, 1, MPI_INT64_T, MPI_SUM, MPI_COMM_WORLD);
  iterations = all_iterations;
  int own = converged ? 1 : 0;
  int all = 0;
  MPI_Allreduce(&own, &all, 1, MPI_INT, MPI_MIN, MPI_COMM_WORLD);
  converged = all == 1;
}

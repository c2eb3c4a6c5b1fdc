#include "fine/solve/window_rows.h"

#include <cstddef>

void close_window_rows(const std::vector<int32_t>& rows, int32_t conductors, uint32_t window_net,
                       std::vector<double>& matrix) {
  const int32_t w = static_cast<int32_t>(window_net);
  std::vector<int32_t> row_of(conductors, -1);
  for (std::size_t r = 0; r < rows.size(); ++r) row_of[rows[r]] = static_cast<int32_t>(r);
  auto close = [&](double* row) {
    double others = 0.0;
    for (int32_t k = 0; k < conductors; ++k) others += k == w ? 0.0 : row[k];
    row[w] = -others;
  };
  for (std::size_t r = 0; r < rows.size(); ++r) {
    if (rows[r] != w) close(matrix.data() + r * conductors);
  }
  if (row_of[w] < 0) return;
  // The walls' own row: where the walls are at 1, their outside carries the window's charge to
  // infinity, which can outweigh the inside's by far (by the window's size over the
  // conductors'), and the solve's tolerance, relative to it all, leaves the inside coarse. The
  // matrix is symmetric: an entry whose other net's row is at hand is taken from that row.
  double* walls = matrix.data() + static_cast<std::size_t>(row_of[w]) * conductors;
  for (int32_t k = 0; k < conductors; ++k) {
    if (k != w && row_of[k] >= 0)
      walls[k] = matrix[static_cast<std::size_t>(row_of[k]) * conductors + w];
  }
  close(walls);
}

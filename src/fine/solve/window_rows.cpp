#include "fine/solve/window_rows.h"

#include <cstddef>

void close_window_rows(const std::vector<int32_t>& rows, int32_t conductors, uint32_t window_net,
                       std::vector<double>& matrix) {
  for (std::size_t r = 0; r < rows.size(); ++r) {
    double* row = matrix.data() + r * conductors;
    double others = 0.0;
    for (int32_t k = 0; k < conductors; ++k) {
      if (static_cast<uint32_t>(k) != window_net) others += row[k];
    }
    row[window_net] = -others;
  }
}

#pragma once

#include <cstdint>

/// A rectangle parallel to a coordinate plane: its normal runs along `axis`, it lies in the
/// plane where that coordinate equals `plane`, and it spans [lo[0], hi[0]] along the axis
/// (axis + 1) % 3 and [lo[1], hi[1]] along the axis (axis + 2) % 3, with lo < hi in both.
struct AxisRect {
  int32_t axis = 0;       // 0, 1 or 2: the normal is x, y or z
  double plane = 0.0;     // coordinate of its plane along `axis`
  double lo[2] = {0, 0};  // lower ends along (axis + 1) % 3 and (axis + 2) % 3
  double hi[2] = {0, 0};  // upper ends, each greater than the lower one
};

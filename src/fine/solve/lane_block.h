#pragma once

#include <cstdint>

/// Right-hand sides solved side by side: the values of one panel in a group of solves, lane w
/// belonging to the w-th solve. The kernels treat a block as one vector of eight doubles and
/// operate element-wise, so each lane's arithmetic is its own and the same on every path.
constexpr int32_t kFineLanes = 8;
struct alignas(64) LaneBlock {
  double lane[kFineLanes];  // one value per solve of the group
};

#include "fine/media/layer_stack.h"

#include <algorithm>
#include <cmath>

std::string layer_stack_problem(const LayerStack& stack) {
  const size_t count = stack.permittivity.size();
  if (count == 0) return "the stack has no layer";
  if (stack.top.size() + 1 != count) {
    return "the stack has " + std::to_string(count) + " layers but " +
           std::to_string(stack.top.size()) + " boundaries";
  }
  for (size_t l = 0; l < count; ++l) {
    const double eps = stack.permittivity[l];
    if (!(std::isfinite(eps) && eps > 0)) {
      return "layer " + std::to_string(l) + ": permittivity " + std::to_string(eps) +
             " is not positive and finite";
    }
  }
  for (size_t l = 0; l + 1 < count; ++l) {
    if (!std::isfinite(stack.top[l])) {
      return "layer " + std::to_string(l) + ": its top is not finite";
    }
    if (l > 0 && !(stack.top[l] > stack.top[l - 1])) {
      return "layer " + std::to_string(l) + ": its top " + std::to_string(stack.top[l]) +
             " is not above its bottom " + std::to_string(stack.top[l - 1]);
    }
  }
  return "";
}

int32_t layer_of(const LayerStack& stack, double z, int32_t side) {
  const std::vector<double>& top = stack.top;
  // The first boundary at or above z (side -1) or strictly above it (side +1) tops its layer.
  const auto above = side < 0 ? std::lower_bound(top.begin(), top.end(), z)
                              : std::upper_bound(top.begin(), top.end(), z);
  return static_cast<int32_t>(above - top.begin());
}

MergedStack merge_equal_neighbours(const LayerStack& stack) {
  MergedStack merged;
  const size_t count = stack.permittivity.size();
  merged.merged_of.resize(count);
  for (size_t l = 0; l < count; ++l) {
    if (l == 0 || stack.permittivity[l] != stack.permittivity[l - 1]) {
      if (l > 0) merged.top.push_back(stack.top[l - 1]);
      merged.permittivity.push_back(stack.permittivity[l]);
    }
    merged.merged_of[l] = static_cast<int32_t>(merged.permittivity.size()) - 1;
  }
  return merged;
}

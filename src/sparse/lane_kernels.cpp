#include "sparse/lane_kernels.h"

namespace {

// The path's own kernels, with those of groups narrower than its registers taken from the
// widest narrower path.
LaneKernelSet combined(const LaneKernelSet& own, const LaneKernelSet& narrower) {
  LaneKernelSet set = own;
  if (set.quarter.multiply == nullptr) set.quarter = narrower.quarter;
  return set;
}

}  // namespace

const LaneKernelSet& lane_kernels(InstructionSet set) {
  static const LaneKernelSet avx2 = combined(kLaneKernelsAvx2, kLaneKernelsSse2);
  static const LaneKernelSet avx512 = combined(kLaneKernelsAvx512, avx2);
  switch (set) {
    case InstructionSet::avx512:
      return avx512;
    case InstructionSet::avx2:
      return avx2;
    case InstructionSet::sse2:
      break;
  }
  return kLaneKernelsSse2;
}

int32_t widest_group_for(InstructionSet set) {
  return set == InstructionSet::avx512 ? kWideLanes : kNarrowLanes;
}

// The lane kernels in registers of 2 doubles, for processors with SSE2.
#define LANE_WIDTH 2
#define LANE_KERNEL_TABLE kLaneKernelsSse2
#include "sparse/lane_kernels.inc"

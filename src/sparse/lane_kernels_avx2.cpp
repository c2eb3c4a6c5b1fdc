// The lane kernels in registers of 4 doubles, for processors with AVX2.
#define LANE_WIDTH 4
#define LANE_KERNEL_TABLE kLaneKernelsAvx2
#include "sparse/lane_kernels.inc"

// The lane kernels in registers of 8 doubles, for processors with AVX512.
#define LANE_WIDTH 8
#define LANE_KERNEL_TABLE kLaneKernelsAvx512
#include "sparse/lane_kernels.inc"

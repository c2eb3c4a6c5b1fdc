// The near kernels of vornax-fine compiled for avx512.
#define NEAR_KERNEL_TABLE kNearKernelsAvx512
#include "fine/solve/near_kernels.inc"

// The near kernels of vornax-fine compiled for avx2.
#define NEAR_KERNEL_TABLE kNearKernelsAvx2
#include "fine/solve/near_kernels.inc"

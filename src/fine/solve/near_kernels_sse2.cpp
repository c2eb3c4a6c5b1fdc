// The near kernels of vornax-fine compiled for sse2.
#define NEAR_KERNEL_TABLE kNearKernelsSse2
#include "fine/solve/near_kernels.inc"

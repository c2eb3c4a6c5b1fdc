// The solve kernels of vornax-fine compiled for sse2.
#define FINE_KERNEL_TABLE kFineKernelsSse2
#include "fine/solve/fine_kernels.inc"

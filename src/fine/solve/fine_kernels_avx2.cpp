// The solve kernels of vornax-fine compiled for avx2.
#define FINE_KERNEL_TABLE kFineKernelsAvx2
#include "fine/solve/fine_kernels.inc"

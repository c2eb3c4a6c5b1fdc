// The solve kernels of vornax-fine compiled for avx512.
#define FINE_KERNEL_TABLE kFineKernelsAvx512
#include "fine/solve/fine_kernels.inc"

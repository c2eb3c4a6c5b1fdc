// The choice of path for the closed forms' sums.

#include "fine/closed_form_kernels.h"

const ClosedFormKernels& closed_form_kernels() {
  static const ClosedFormKernels& best =
      __builtin_cpu_supports("avx2") ? kClosedFormKernelsAvx2 : kClosedFormKernelsSse2;
  return best;
}

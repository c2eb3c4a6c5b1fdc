// The choice of path for the closed forms' sums.

#include "fine/coefficients/closed_form_kernels.h"

#include "common/instruction_set.h"

const ClosedFormKernels& closed_form_kernels() {
  static const ClosedFormKernels& best =
      processor_has(InstructionSet::avx2) ? kClosedFormKernelsAvx2 : kClosedFormKernelsSse2;
  return best;
}

// The choice of path for the normal-field closed forms' sums.

#include "fine/coefficients/normal_field_kernels.h"

#include "common/instruction_set.h"

const NormalFieldKernels& normal_field_kernels() {
  static const NormalFieldKernels& best =
      processor_has(InstructionSet::avx2) ? kNormalFieldKernelsAvx2 : kNormalFieldKernelsSse2;
  return best;
}

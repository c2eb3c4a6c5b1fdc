// The choice of path for the normal-field closed forms' sums.

#include "fine/coefficients/normal_field_kernels.h"

#include "fine/coefficients/closed_form_kernels.h"

const NormalFieldKernels& normal_field_kernels() {
  static const NormalFieldKernels& chosen =
      for_instruction_set(closed_form_path(), kNormalFieldKernelsSse2, kNormalFieldKernelsAvx2,
                          kNormalFieldKernelsAvx512);
  return chosen;
}

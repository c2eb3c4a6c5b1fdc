#include "fine/solve/near_kernels.h"

const NearKernels& near_kernels(InstructionSet set) {
  return for_instruction_set(set, kNearKernelsSse2, kNearKernelsAvx2, kNearKernelsAvx512);
}

#include "fine/solve/fine_kernels.h"

const FineKernels& fine_kernels(InstructionSet set) {
  switch (set) {
    case InstructionSet::avx512:
      return kFineKernelsAvx512;
    case InstructionSet::avx2:
      return kFineKernelsAvx2;
    default:
      return kFineKernelsSse2;
  }
}

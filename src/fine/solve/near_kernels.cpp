#include "fine/solve/near_kernels.h"

const NearKernels& near_kernels(InstructionSet set) {
  switch (set) {
    case InstructionSet::avx512:
      return kNearKernelsAvx512;
    case InstructionSet::avx2:
      return kNearKernelsAvx2;
    case InstructionSet::sse2:
      break;
  }
  return kNearKernelsSse2;
}

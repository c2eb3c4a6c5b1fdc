#include "fine/far_field/far_product.h"

FarProduct far_product(InstructionSet set) {
  switch (set) {
    case InstructionSet::avx512:
      return kFarProductAvx512;
    case InstructionSet::avx2:
      return kFarProductAvx2;
    case InstructionSet::sse2:
      break;
  }
  return kFarProductSse2;
}

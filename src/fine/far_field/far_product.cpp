#include "fine/far_field/far_product.h"

FarProduct far_product(InstructionSet set) {
  return for_instruction_set(set, kFarProductSse2, kFarProductAvx2, kFarProductAvx512);
}

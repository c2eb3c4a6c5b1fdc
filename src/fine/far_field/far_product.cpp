#include "fine/far_field/far_product.h"

FarProduct far_product(InstructionSet set) {
  return for_instruction_set(set, kFarProductSse2, kFarProductAvx2, kFarProductAvx512);
}

const SharedFarProduct& shared_far_product(InstructionSet set) {
  return for_instruction_set(set, kSharedFarProductSse2, kSharedFarProductAvx2,
                             kSharedFarProductAvx512);
}

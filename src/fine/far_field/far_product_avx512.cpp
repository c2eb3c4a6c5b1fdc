// The far product compiled for avx512.
#define FAR_PRODUCT kFarProductAvx512
#define SHARED_FAR_PRODUCT kSharedFarProductAvx512
#include "fine/far_field/far_product.inc"

// The far product compiled for avx512.
#define FAR_PRODUCT kFarProductAvx512
#include "fine/far_field/far_product.inc"

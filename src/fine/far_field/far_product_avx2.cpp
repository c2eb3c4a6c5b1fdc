// The far product compiled for avx2.
#define FAR_PRODUCT kFarProductAvx2
#include "fine/far_field/far_product.inc"

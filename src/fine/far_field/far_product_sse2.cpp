// The far product compiled for sse2.
#define FAR_PRODUCT kFarProductSse2
#include "fine/far_field/far_product.inc"

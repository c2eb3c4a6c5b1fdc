// The far product compiled for sse2.
#define FAR_PRODUCT kFarProductSse2
#define SHARED_FAR_PRODUCT kSharedFarProductSse2
#include "fine/far_field/far_product.inc"

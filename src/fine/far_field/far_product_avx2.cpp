// The far product compiled for avx2.
#define FAR_PRODUCT kFarProductAvx2
#define SHARED_FAR_PRODUCT kSharedFarProductAvx2
#include "fine/far_field/far_product.inc"

// The normal-field closed forms' sums in registers of 4 doubles, for processors with AVX2.
#define LANE_WIDTH 4
#define NORMAL_FIELD_KERNEL_TABLE kNormalFieldKernelsAvx2
#include "fine/coefficients/normal_field_kernels.inc"

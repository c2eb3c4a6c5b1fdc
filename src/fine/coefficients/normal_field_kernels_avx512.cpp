// The normal-field closed forms' sums in registers of 8 doubles, for processors with AVX-512.
#define LANE_WIDTH 8
#define NORMAL_FIELD_KERNEL_TABLE kNormalFieldKernelsAvx512
#include "fine/coefficients/normal_field_kernels.inc"

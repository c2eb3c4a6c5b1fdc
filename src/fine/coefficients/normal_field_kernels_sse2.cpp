// The normal-field closed forms' sums in registers of 2 doubles: every x86-64 processor has them.
#define LANE_WIDTH 2
#define NORMAL_FIELD_KERNEL_TABLE kNormalFieldKernelsSse2
#include "fine/coefficients/normal_field_kernels.inc"

// The closed forms' sums in registers of 2 doubles: every x86-64 processor has them.
#define LANE_WIDTH 2
#define CLOSED_FORM_KERNEL_TABLE kClosedFormKernelsSse2
#include "fine/coefficients/closed_form_kernels.inc"

// The closed forms' sums in registers of 4 doubles, for processors with AVX2.
#define LANE_WIDTH 4
#define CLOSED_FORM_KERNEL_TABLE kClosedFormKernelsAvx2
#include "fine/coefficients/closed_form_kernels.inc"

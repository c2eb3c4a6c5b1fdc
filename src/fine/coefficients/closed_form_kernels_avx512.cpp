// The closed forms' sums in registers of 8 doubles, for processors with AVX-512.
#define LANE_WIDTH 8
#define CLOSED_FORM_KERNEL_TABLE kClosedFormKernelsAvx512
#include "fine/coefficients/closed_form_kernels.inc"

// The choice of path for the closed forms' sums.

#include "fine/coefficients/closed_form_kernels.h"

#include <cstdlib>
#include <string>

InstructionSet closed_form_path() {
  InstructionSet set = best_instruction_set();
  const char* setting = std::getenv("VORNAX_ISA");
  InstructionSet named;
  if (setting != nullptr && parse_instruction_set(setting, named) && processor_has(named)) {
    set = named;
  }
  return set;
}

const ClosedFormKernels& closed_form_kernels() {
  static const ClosedFormKernels& chosen = for_instruction_set(
      closed_form_path(), kClosedFormKernelsSse2, kClosedFormKernelsAvx2, kClosedFormKernelsAvx512);
  return chosen;
}

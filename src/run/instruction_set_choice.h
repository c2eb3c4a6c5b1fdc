#pragma once

#include <string>

#include "common/instruction_set.h"

/// The lane kernels' path: the one VORNAX_ISA names ("sse2", "avx2" or "avx512"), or the widest
/// this processor has when the variable is unset or empty. Returns false, with a one-line
/// `message` naming the paths this processor has, when the variable names no path it has.
bool instruction_set_from_environment(InstructionSet& set, std::string& message);

#pragma once

#include <string>

#include "sparse/lane_kernels.h"

/// True when this processor (and its operating system) can run the path.
bool processor_has(InstructionSet set);
/// The widest path this processor has.
InstructionSet best_instruction_set();
/// "sse2", "avx2" or "avx512".
const char* instruction_set_name(InstructionSet set);
/// The path named `word`, if any.
bool parse_instruction_set(const std::string& word, InstructionSet& set);
/// The widest lane group worth running on the path: two registers' worth of lanes, at least 8.
/// Wider groups share a traversal of P and the factor among more solves but move more lanes per
/// term, and measured on large structures they cost more per solve than they save.
int32_t widest_group_for(InstructionSet set);
/// The names of the paths this processor has, narrowest first, separated by ", ".
std::string available_instruction_sets();

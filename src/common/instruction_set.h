#pragma once

#include <cstdint>
#include <string>

/// The instruction-set paths that kernels are compiled for, narrowest first. A program picks one
/// at start-up; every path gives the same bits, only at another speed.
enum class InstructionSet : int32_t { sse2 = 0, avx2 = 1, avx512 = 2 };
constexpr int32_t kInstructionSetCount = 3;

/// True when this processor (and its operating system) can run the path.
bool processor_has(InstructionSet set);
/// The widest path this processor has.
InstructionSet best_instruction_set();
/// "sse2", "avx2" or "avx512".
const char* instruction_set_name(InstructionSet set);
/// The path named `word`, if any.
bool parse_instruction_set(const std::string& word, InstructionSet& set);
/// The names of the paths this processor has, narrowest first, separated by ", ".
std::string available_instruction_sets();

/// The one of three things, each made for a path, that belongs to `set`.
template <typename T>
const T& for_instruction_set(InstructionSet set, const T& sse2, const T& avx2, const T& avx512) {
  return set == InstructionSet::avx512 ? avx512 : set == InstructionSet::avx2 ? avx2 : sse2;
}

#include "common/instruction_set.h"

bool processor_has(InstructionSet set) {
  switch (set) {
    case InstructionSet::avx512:
      return __builtin_cpu_supports("avx512f");
    case InstructionSet::avx2:
      return __builtin_cpu_supports("avx2");
    case InstructionSet::sse2:
      break;
  }
  return true;  // every x86-64 processor has SSE2
}

InstructionSet best_instruction_set() {
  for (InstructionSet set : {InstructionSet::avx512, InstructionSet::avx2}) {
    if (processor_has(set)) return set;
  }
  return InstructionSet::sse2;
}

const char* instruction_set_name(InstructionSet set) {
  switch (set) {
    case InstructionSet::avx512:
      return "avx512";
    case InstructionSet::avx2:
      return "avx2";
    case InstructionSet::sse2:
      break;
  }
  return "sse2";
}

bool parse_instruction_set(const std::string& word, InstructionSet& set) {
  for (int32_t i = 0; i < kInstructionSetCount; ++i) {
    const auto candidate = static_cast<InstructionSet>(i);
    if (word == instruction_set_name(candidate)) {
      set = candidate;
      return true;
    }
  }
  return false;
}

std::string available_instruction_sets() {
  std::string names;
  for (int32_t i = 0; i < kInstructionSetCount; ++i) {
    const auto set = static_cast<InstructionSet>(i);
    if (!processor_has(set)) continue;
    if (!names.empty()) names += ", ";
    names += instruction_set_name(set);
  }
  return names;
}

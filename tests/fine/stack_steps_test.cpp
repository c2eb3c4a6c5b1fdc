// The steps of the solves in a layer stack and with dielectric pieces. In vacuum the 2 x 2
// crossing bus takes 13 to 20 conjugate-gradient steps per solve at its first levels; in a stack
// that cuts its faces into strips the steps must stay within about twice that, and a structure
// with pieces must not take hundreds of GMRES steps. The bits must not depend on the threads or
// the instruction set.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "common/instruction_set.h"
#include "dielectric_cases.h"

namespace {

/// The 2 x 2 crossing bus of examples/bus2x2.txt (wires 1 wide, pitch 2, 5 long, at z 0-1 and
/// 2-3) in ten layers of alternating permittivity, their tops every 0.4 from z = -0.5.
FineStructure bus_in_stack() {
  std::string body;
  body += box("a", 0, 1, 0, 5, 1, 1) + box("b", 0, 3, 0, 5, 1, 1);
  body += box("c", 1, 0, 2, 1, 5, 1) + box("d", 3, 0, 2, 1, 5, 1);
  std::vector<double> eps, tops;
  for (int k = 0; k < 10; ++k) {
    eps.push_back(k % 2 == 0 ? 3.9 : 2.7);
    tops.push_back(-0.5 + 0.4 * k);
  }
  tops.pop_back();  // the last layer reaches to the window's top
  return read(cap3d(eps, tops, body, 10.0));
}

/// Two wires in a liner of permittivity 7 and one crossing above them, in three layers.
FineStructure wires_with_pieces() {
  std::string body;
  body += box("a", 0, 1, 0.2, 5, 1, 1) + box("b", 0, 3, 0.2, 5, 1, 1);
  body += box("c", 1, 0, 2, 1, 5, 1) + box("liner", -0.2, 0.8, 0, 5.4, 1.4, 1.4, 7.0);
  return read(cap3d({3.9, 2.7, 3.9}, {0.0, 1.5}, body, 10.0));
}

FineResult run(const FineStructure& structure, int32_t threads, InstructionSet set) {
  FineOptions options;
  options.accuracy = 0.1;  // three levels
  options.threads = threads;
  options.instruction_set = set;
  return extract_fine(structure, options);
}

/// The most steps per solve of any level.
double most_steps_per_solve(const FineResult& result, int32_t solves) {
  double most = 0.0;
  for (const LevelReport& level : result.levels)
    most = std::max(most, static_cast<double>(level.iterations) / solves);
  return most;
}

}  // namespace

TEST(StackSteps, TheBusInAStackTakesAtMostTwiceTheVacuumSteps) {
  const FineResult result = run(bus_in_stack(), 2, best_instruction_set());
  ASSERT_EQ(FineEnd::reached, result.end);
  ASSERT_GE(result.levels.size(), 3u);
  EXPECT_LE(most_steps_per_solve(result, 4), 40.0);
}

TEST(StackSteps, PiecesTakeTensOfStepsPerSolve) {
  const FineResult result = run(wires_with_pieces(), 2, best_instruction_set());
  ASSERT_EQ(FineEnd::reached, result.end);
  ASSERT_GE(result.levels.size(), 3u);
  EXPECT_LE(most_steps_per_solve(result, 3), 40.0);
}

TEST(StackSteps, TheBusInAStackIsTheSameOnEveryPathAndThreadCount) {
  const FineStructure structure = bus_in_stack();
  const FineResult reference = run(structure, 1, InstructionSet::sse2);
  for (InstructionSet set : {InstructionSet::avx2, InstructionSet::avx512}) {
    if (!processor_has(set)) continue;
    const FineResult other = run(structure, 2, set);
    ASSERT_EQ(reference.levels.size(), other.levels.size());
    for (size_t k = 0; k < other.levels.size(); ++k)
      EXPECT_EQ(reference.levels[k].iterations, other.levels[k].iterations) << k;
    EXPECT_EQ(reference.estimate.value, other.estimate.value) << instruction_set_name(set);
  }
}

// The steps of the solves in a layer stack and with dielectric pieces: in vacuum the 2 x 2
// crossing bus takes 13 to 20 steps per solve at its first levels, and in a stack that cuts its
// faces into strips it must take at most 25 (it took 79 where each solve went to the tolerance
// under the iterations' far field, 36 where each row came from its charges under the accurate
// one); the bits must not depend on threads or path, and the stationary rows must be those of
// the charges within what the solves' tolerance leaves.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "common/instruction_set.h"
#include "dielectric_cases.h"

namespace {

/// The most steps per solve of any level of the extraction at 10 % (three levels).
double most_steps_per_solve(const std::string& body, const std::vector<double>& eps,
                            const std::vector<double>& tops, int32_t solves, int32_t threads,
                            InstructionSet set, FineResult& result,
                            std::vector<int32_t> masters = {}) {
  FineOptions options;
  options.masters = masters;
  options.shared_products_from = 0;  // however small, so that the tests see them shared
  options.accuracy = 0.1;
  options.threads = threads;
  options.instruction_set = set;
  result = extract_fine(read(cap3d(eps, tops, body, 10.0)), options);
  EXPECT_EQ(FineEnd::reached, result.end);
  double most = 0.0;
  for (const LevelReport& level : result.levels)
    most = std::max(most, static_cast<double>(level.iterations) / solves);
  return most;
}

/// The bus of examples/bus2x2.txt in ten layers of εr 3.9 and 2.7, tops every 0.4 from -0.5.
const std::string kBus = box("a", 0, 1, 0, 5, 1, 1) + box("b", 0, 3, 0, 5, 1, 1) +
                         box("c", 1, 0, 2, 1, 5, 1) + box("d", 3, 0, 2, 1, 5, 1);
const std::vector<double> kEps = {3.9, 2.7, 3.9, 2.7, 3.9, 2.7, 3.9, 2.7, 3.9, 2.7};
const std::vector<double> kTops = {-0.5, -0.1, 0.3, 0.7, 1.1, 1.5, 1.9, 2.3, 2.7};

}  // namespace

TEST(StackSteps, TheBusInAStackTakesAtMost25StepsPerSolveOnEveryPathAndThreadCount) {
  FineResult reference, other, charges;
  EXPECT_LE(most_steps_per_solve(kBus, kEps, kTops, 4, 1, InstructionSet::sse2, reference), 25.0);
  // Every conductor named a master: each row from its charges, solved to a hundred times the
  // tolerance under the accurate far field, on the same meshes.
  most_steps_per_solve(kBus, kEps, kTops, 4, 1, InstructionSet::sse2, charges, {0, 1, 2, 3});
  ASSERT_EQ(reference.estimate.value.size(), charges.estimate.value.size());
  for (size_t at = 0; at < charges.estimate.value.size(); ++at) {
    const double diagonal = charges.estimate.value[at / 4 * 5];
    EXPECT_NEAR(charges.estimate.value[at], reference.estimate.value[at], 2e-5 * diagonal) << at;
  }
  for (InstructionSet set : {InstructionSet::sse2, InstructionSet::avx2, InstructionSet::avx512}) {
    if (!processor_has(set)) continue;
    most_steps_per_solve(kBus, kEps, kTops, 4, 2, set, other);
    ASSERT_EQ(reference.levels.size(), other.levels.size());
    for (size_t k = 0; k < other.levels.size(); ++k)
      EXPECT_EQ(reference.levels[k].iterations, other.levels[k].iterations) << k;
    EXPECT_EQ(reference.estimate.value, other.estimate.value) << instruction_set_name(set);
  }
}

TEST(StackSteps, WiresInALinerTakeTensOfStepsPerSolve) {
  // Two wires in a liner of εr 7 under a crossing wire, three layers: 57 steps per solve before.
  const std::string body = box("a", 0, 1, 0.2, 5, 1, 1) + box("b", 0, 3, 0.2, 5, 1, 1) +
                           box("c", 1, 0, 2, 1, 5, 1) +
                           box("liner", -0.2, 0.8, 0, 5.4, 1.4, 1.4, 7.0);
  FineResult result;
  EXPECT_LE(
      most_steps_per_solve(body, {3.9, 2.7, 3.9}, {0.0, 1.5}, 3, 2, best_instruction_set(), result),
      40.0);
}

TEST(StackSteps, AMastersRowsAreTheSameBitsWhetherItsProductsTakeOneThreadOrTwo) {
  // One group of solves on two threads: the second thread makes each product with the first
  // (the near part beside the moments, then the subtrees shared), in a stack with a liner
  // (GMRES) and without (conjugate gradients).
  // And in vacuum, whose far pairs read the kept tensors of each side, not of each pair.
  const std::string liner = kBus + box("liner", -0.2, 0.8, -0.2, 5.4, 1.4, 1.4, 7.0);
  const std::vector<double> vacuum = {1.0};
  for (const std::string& body : {kBus, liner, std::string()}) {
    const std::string& bus = body.empty() ? kBus : body;
    const std::vector<double>& eps = body.empty() ? vacuum : kEps;
    FineResult one, two;
    most_steps_per_solve(bus, eps, kTops, 1, 1, best_instruction_set(), one, {1});
    most_steps_per_solve(bus, eps, kTops, 1, 2, best_instruction_set(), two, {1});
    ASSERT_EQ(one.levels.size(), two.levels.size());
    for (size_t k = 0; k < one.levels.size(); ++k)
      EXPECT_EQ(one.levels[k].iterations, two.levels[k].iterations) << k;
    EXPECT_EQ(one.estimate.value, two.estimate.value);
  }
}

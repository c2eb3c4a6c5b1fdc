// vornax-fine's options of the named output and of master nets, read from the command line, and
// the rows they select: the DSPF lines by hand, master rows of the estimate by their own
// diagonal entries.
#include "fine/program/named_output.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "fine/estimate/convergence.h"
#include "fine/program/arguments.h"

namespace {

FineStructure three_nets(const std::string& unit) {
  FineStructure structure;
  for (const char* name : {"a", "b", "c"}) {
    structure.conductors.emplace_back();
    structure.conductors.back().label = name;
  }
  structure.length_unit = unit;
  structure.master_nets = {2};
  return structure;
}

}  // namespace

TEST(NamedOutput, TheOptionsAreReadWithTheirValues) {
  FineArguments parsed;
  ASSERT_EQ("", fine_arguments_from({"f", "--nets", "c,a", "--window", "ground", "--dspf", "o",
                                     "--min-coupling", "5", "--permittivity", "3.9"},
                                    parsed));
  EXPECT_EQ((std::vector<std::string>{"c", "a"}), parsed.nets);
  EXPECT_TRUE(parsed.grounded_window);
  EXPECT_EQ("o", parsed.dspf_file);
  EXPECT_EQ(5.0, parsed.min_coupling);
  EXPECT_EQ(3.9, parsed.permittivity);
  ASSERT_EQ("", fine_arguments_from({"--nets", "all", "f"}, parsed));
  EXPECT_TRUE(parsed.all_nets);
}

TEST(NamedOutput, MasterNetsComeFromTheOptionTheFileOrEveryNet) {
  const FineStructure structure = three_nets("um");
  std::vector<int32_t> masters;
  ASSERT_EQ("", master_conductors(structure, {"c", "a"}, false, masters));
  EXPECT_EQ((std::vector<int32_t>{2, 0}), masters);
  ASSERT_EQ("", master_conductors(structure, {}, false, masters));
  EXPECT_EQ((std::vector<int32_t>{2}), masters);
  ASSERT_EQ("", master_conductors(structure, {}, true, masters));
  EXPECT_TRUE(masters.empty());
  EXPECT_EQ("--nets names 'd', which is no net of the file.",
            master_conductors(structure, {"d"}, false, masters));
}

TEST(NamedOutput, TheDspfListsTotalsAndCouplingsInFaradsAboveTheLeastShare) {
  // Row of c: total 10, couplings 4 to a and 0.2 to b (2 % of the total), in 10^-18 F.
  std::ostringstream out;
  write_dspf(out, three_nets("um"), {2}, {-4, -0.2, 10}, 0.05);
  EXPECT_EQ("*|NET c 1e-17\nC1 c a 4e-18\n", out.str());
  std::ostringstream all;
  write_dspf(all, three_nets(""), {2}, {-4, -0.2, 10}, 0.0);
  EXPECT_EQ("*|NET c 1e-11\nC1 c a 4e-12\nC2 c b 2e-13\n", all.str());
}

TEST(NamedOutput, AMasterRowIsJudgedByItsOwnDiagonal) {
  // One row (conductor 1) over two conductors: the entry 0.5 is under 1 % of the diagonal 100
  // and does not count; the diagonal converges like m^-3 and is extrapolated.
  std::vector<std::vector<double>> rows;
  for (int32_t m : {2, 3, 4}) rows.push_back({0.5, 100.0 - 40.0 / (m * m * m)});
  const ConvergenceEstimate e = estimate_convergence({2, 3, 4}, rows, 2, 0.0, {1});
  EXPECT_FALSE(e.significant[0]);
  EXPECT_TRUE(e.significant[1]);
  EXPECT_NEAR(100.0, e.value[1], 1e-12);
}

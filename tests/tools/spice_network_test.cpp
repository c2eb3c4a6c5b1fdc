// vornax-spice's parts: the capacitors of a hand-made matrix, the couplings left out, the
// digits, the port names and the checks of the capacitance file.
#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "tools/capacitance_file.h"
#include "tools/capacitor_network.h"
#include "tools/spice_names.h"
#include "tools/spice_subcircuit.h"

namespace {

const MatrixRows kHandMade = {{10, -3, -1}, {-5, 12, -2}, {-1, -4, 8}};

/// What write_subcircuit writes: the netlist, and the warnings line by line.
struct SubcircuitText {
  std::string netlist;
  std::vector<std::string> warnings;
};

SubcircuitText written(const SubcircuitSource& source) {
  std::ostringstream netlist, warnings;
  write_subcircuit(source, netlist, warnings);
  SubcircuitText text{netlist.str(), {}};
  std::istringstream lines(warnings.str());
  for (std::string line; std::getline(lines, line);) text.warnings.push_back(line);
  return text;
}

}  // namespace

TEST(SpiceSubcircuit, HandMadeMatrixGivesItsCapacitorsPortsAndText) {
  // S = [[10, -4, -1], [-4, 12, -3], [-1, -3, 8]]; row sums 5, 5, 4; the largest
  // asymmetry |-2 + 4| / 3 beats |-3 + 5| / 4.
  EXPECT_EQ(std::vector<std::string>({"n7", "nm2", "n7_2", "nm2147483648"}),
            port_names({7, -2, 7, -2147483647 - 1}));
  SubcircuitSource source{"dir/bus.txt",
                          "Cap.txt",
                          find_length_unit("um"),
                          "bus",
                          {"n7", "nm2", "n7_2"},
                          {},
                          {},
                          false,
                          {},
                          "",
                          "--unit"};
  take_matrix(source, kHandMade);
  SubcircuitText text = written(source);
  EXPECT_EQ(
      "* capacitance matrix as a SPICE subcircuit, written by vornax-spice\n"
      "* panel file: dir/bus.txt\n* capacitance file: Cap.txt\n"
      "* unit: um (--unit), so the capacitance file counts in units of 1e-18 F\n"
      "* conductors: 3, one port each in file order, named after their conductor numbers\n"
      "* symmetrised: S = (C + C^T) / 2\n"
      "* largest relative asymmetry |C(j,k) - C(k,j)| / |S(j,k)| removed: 0.667, "
      "at C(2,3) = -2 and C(3,2) = -4\n"
      ".subckt bus n7 nm2 n7_2\nC_n7_0 n7 0 5e-18\nC_n7_nm2 n7 nm2 4e-18\n"
      "C_n7_n7_2 n7 n7_2 1e-18\nC_nm2_0 nm2 0 5e-18\nC_nm2_n7_2 nm2 n7_2 3e-18\n"
      "C_n7_2_0 n7_2 0 4e-18\n.ends bus\n",
      text.netlist);
  EXPECT_TRUE(text.warnings.empty());

  // A positive coupling, a negative and a zero row sum: all written, marked and warned of.
  take_matrix(source, {{2, 1, 0}, {1, -3, 0}, {0, 0, 0}});
  text = written(source);
  EXPECT_EQ(3u, text.warnings.size());
  for (const char* line : {"C_n7_nm2 n7 nm2 -1e-18 $ physically impossible",
                           "C_nm2_0 nm2 0 -2e-18 $ physically impossible",
                           "C_n7_2_0 n7_2 0 0 $ physically impossible"}) {
    EXPECT_NE(std::string::npos, text.netlist.find(line)) << line;
  }
  EXPECT_EQ(std::string::npos, text.netlist.find("C_n7_n7_2"));  // S(1,3) = 0: no capacitor
}

/// "FROM-TO VALUE" for every capacitor, TO -1 for ground.
std::vector<std::string> capacitor_lines(const MatrixRows& s, const NetworkChoice& choice) {
  std::vector<std::string> lines;
  visit_capacitors(s, choice, [&](const Capacitor& c) {
    lines.push_back(std::to_string(c.from) + "-" + std::to_string(c.to) + " " +
                    scaled_decimal(c.value, 0, 12));
  });
  return lines;
}

std::vector<Capacitor> capacitors_of(const MatrixRows& s) {
  std::vector<Capacitor> capacitors;
  visit_capacitors(s, NetworkChoice{},
                   [&](const Capacitor& capacitor) { capacitors.push_back(capacitor); });
  return capacitors;
}

TEST(SpiceSubcircuit, CouplingsNegligibleForBothConductorsGoToGround) {
  // With 1 %: 0.005 is below 1 % of 10 and of 8; 0.5 is 4 % of 12; 0.05 is 0.05 % of 100 but
  // 5 % of 1, so it stays. What is left out lands in both capacitors to ground.
  const MatrixRows s = {{10, -4, -0.005, 0}, {-4, 12, -0.5, 0}, {-0.005, -0.5, 8, 0}, {0, 0, 0, 1}};
  MatrixRows big = {{100, -0.05}, {-0.05, 1}};
  const NetworkChoice one_percent{0.01, {}};
  EXPECT_FALSE(is_negligible(big, 0, 1, one_percent));
  EXPECT_EQ(1u, negligible_count(s, one_percent));
  EXPECT_EQ(
      (std::vector<std::string>{"0--1 6", "0-1 4", "1--1 7.5", "1-2 5e-1", "2--1 7.5", "3--1 1"}),
      capacitor_lines(s, one_percent));

  // Cap.txt of the rows of conductors 1 and 3 alone: 2 couples to them, no ground of its own,
  // and its unknown total keeps nothing: with 45 %, 4 of 10 and 3 of 8 go.
  const MatrixRows c = with_context_rows({{10, -4, -1}, {-1, -3, 8}}, {0, 2});
  EXPECT_EQ((MatrixRows{{10, -4, -1}, {-4, 7, -3}, {-1, -3, 8}}), c);
  NetworkChoice context{0.0, {false, true, false}};
  EXPECT_EQ((std::vector<std::string>{"0--1 5", "0-1 4", "0-2 1", "1-2 3", "2--1 4"}),
            capacitor_lines(c, context));
  context.min_fraction = 0.45;
  EXPECT_EQ((std::vector<std::string>{"0--1 1e1", "2--1 8"}), capacitor_lines(c, context));
}

TEST(SpiceSubcircuit, DigitsGiveTheDiagonalBackWhereCapacitorsCancel) {
  EXPECT_EQ("-3e1", scaled_decimal(-2.96, 1, 2));
  // S(1,1) = ground - coupling, two numbers 10^4 times as large as itself.
  MatrixRows s = {{1.23456789012345, -9876.54321098765}, {-9876.54321098765, 1.5}};
  std::vector<Capacitor> capacitors = capacitors_of(s);
  double diagonal = 0.0;  // as a simulator adds it up from the printed values
  for (int k = 0; k < 2; ++k) {
    diagonal +=
        std::strtod(scaled_decimal(capacitors[k].value, 0, capacitors[k].digits).c_str(), nullptr);
  }
  EXPECT_NEAR(s[0][0], diagonal, 1e-11 * s[0][0]);
  MatrixRows hand_made = kHandMade;
  symmetrise(hand_made);
  EXPECT_EQ(12, capacitors_of(hand_made)[0].digits);  // no cancellation
}

TEST(SpiceNames, NamesAreValidSpiceNames) {
  EXPECT_EQ("bus2x2", subcircuit_name_for("examples/bus2x2.txt"));
  EXPECT_EQ("sub_4x4_v2", subcircuit_name_for("a.b/4x4-v2.txt"));
  EXPECT_EQ("sub__hidden", subcircuit_name_for("/tmp/.hidden"));
  for (const char* bad : {"", "2bus", "_bus", "bus-2", "bus 2"}) EXPECT_FALSE(is_spice_name(bad));
}

TEST(CapacitanceFile, MalformedFilesAreRefusedNamingTheFileAndLine) {
  auto error = [](const std::string& content) {
    std::istringstream in(content);
    MatrixRows rows;
    return read_capacitance_rows(in, "Cap.txt", 2, rows);
  };
  EXPECT_EQ("", error("1 -2 \n-2 1\r\n"));
  EXPECT_EQ("Cap.txt:2: the row holds 3 numbers, not one for each of the 2 conductors.",
            error("1 -2\n-2 1 0\n"));
  EXPECT_EQ("Cap.txt:2: the file ends after 1 rows, not one for each of the 2 conductors.",
            error("1 -2\n"));
  EXPECT_EQ("Cap.txt:3: one row too many, not one for each of the 2 conductors.",
            error("1 -2\n-2 1\n\n"));
  EXPECT_EQ("Cap.txt:1: 'nan' is not a finite number.", error("nan 1\n1 1\n"));
  EXPECT_EQ("Cap.txt:2: '1e999' is not a finite number.", error("1 1\n1e999 1\n"));
  EXPECT_EQ("Cap.txt:1: '0x10' is not a number.", error("0x10 1\n1 1\n"));
  EXPECT_EQ("Cap.txt:1: '1,' is not a number.", error("1, 1\n1 1\n"));
}
TEST(SpiceNames, LabelsNamePortsDistinctlyAndNumbersAsBefore) {
  // SPICE ignores case, and ngspice takes gnd for node 0; numbers keep their names whatever
  // comes before them.
  EXPECT_EQ(std::vector<std::string>(
                {"clk_a", "n7", "Clk_A_2", "a_b", "n_1_5", "GND_2", "n7_3", "n7_2", "a_b_2"}),
            port_names(std::vector<std::string>(
                {"clk_a", "7", "Clk_A", "a-b", "1.5", "GND", "n7", "+7", "a_b"})));
}

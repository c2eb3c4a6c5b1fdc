// vornax-spice: the capacitors of a hand-made matrix, the checks of the
// capacitance file, and the matrix that ngspice measures on the subcircuit.
// ngspice (apt-get install ngspice) is needed for the last test.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cmath>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "../test_files.h"
#include "tools/capacitance_file.h"
#include "tools/capacitor_network.h"
#include "tools/spice_names.h"
#include "tools/spice_subcircuit.h"

namespace {

/// A fresh folder for one test, removed afterwards.
struct TempDir {
  std::string path;
  TempDir() {
    char pattern[] = "/tmp/vornax-spice-XXXXXX";
    path = mkdtemp(pattern);
  }
  ~TempDir() { std::system(("rm -rf " + path).c_str()); }
};

/// Runs `command` in the shell inside `dir`; returns its exit status, its
/// standard output in `out` and its standard error in `err`.
int run(const TempDir& dir, const std::string& command, std::string& out, std::string& err) {
  int status = std::system(("cd " + dir.path + " && " + command + " >out 2>err").c_str());
  out = read_file(dir.path + "/out");
  err = read_file(dir.path + "/err");
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

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

/// The matrix that ngspice measures on the m-port subcircuit `name` in `file` of `dir`, in units
/// of `farads`: instance j has port j at 1 V AC and the others at 0 V, so that the current into
/// port k is i w S(k,j). Entry [j][k] is S(k,j); empty when ngspice fails.
MatrixRows ngspice_matrix(const TempDir& dir, const std::string& file, const std::string& name,
                          int m, double farads) {
  const double frequency = 1e6, omega = 2.0 * M_PI * frequency;
  std::string deck = "capacitance matrix measured in AC\n.include " + file + "\n", currents;
  for (int j = 0; j < m; ++j) {
    std::string instance = "X" + std::to_string(j), sources;
    for (int k = 0; k < m; ++k) {
      std::string node = "p" + std::to_string(j) + "_" + std::to_string(k);
      instance += " " + node;
      sources += "V" + node + " " + node + " 0 DC 0 AC " + (k == j ? "1" : "0") + "\n";
      currents += " i(V" + node + ")";
    }
    deck += instance + " " + name + "\n" + sources;
  }
  deck += ".control\nset wr_singlescale numdgt=15\nac lin 1 1e6 1e6\nwrdata currents.txt" +
          currents + "\nquit\n.endc\n.end\n";
  std::ofstream(dir.path + "/deck.cir") << deck;
  std::string out, err;
  if (run(dir, "timeout 60 ngspice -b deck.cir", out, err) != 0) return {};
  // wrdata: the frequency, then the real and imaginary part of each current.
  std::istringstream row(read_file(dir.path + "/currents.txt"));
  double f, re, im;
  if (!(row >> f) || f != frequency) return {};
  MatrixRows s(m, std::vector<double>(m));
  for (auto& column : s) {
    for (double& entry : column) {
      if (!(row >> re >> im)) return {};
      // A source's current flows from its positive node through it, out of the port.
      entry = -im / omega / farads;
    }
  }
  return s;
}

}  // namespace

TEST(SpiceSubcircuit, HandMadeMatrixGivesItsCapacitorsPortsAndText) {
  // S = [[10, -4, -1], [-4, 12, -3], [-1, -3, 8]]; row sums 5, 5, 4; the largest
  // asymmetry |-2 + 4| / 3 beats |-3 + 5| / 4.
  EXPECT_EQ(std::vector<std::string>({"n7", "nm2", "n7_2", "nm2147483648"}),
            port_names({7, -2, 7, -2147483647 - 1}));
  SubcircuitSource source{
      "dir/bus.txt", "Cap.txt", find_length_unit("um"), "bus", {"n7", "nm2", "n7_2"}, {}, {}, false,
      0.0,           "--unit"};
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

std::vector<Capacitor> capacitors_of(const MatrixRows& s) {
  std::vector<Capacitor> capacitors;
  visit_capacitors(s, 0.0, [&](const Capacitor& capacitor) { capacitors.push_back(capacitor); });
  return capacitors;
}

TEST(SpiceSubcircuit, CouplingsNegligibleForBothConductorsGoToGround) {
  // With 1 %: 0.005 is below 1 % of 10 and of 8; 0.5 is 4 % of 12; 0.05 is 0.05 % of 100 but
  // 5 % of 1, so it stays. What is left out lands in both capacitors to ground.
  const MatrixRows s = {{10, -4, -0.005, 0}, {-4, 12, -0.5, 0}, {-0.005, -0.5, 8, 0}, {0, 0, 0, 1}};
  MatrixRows big = {{100, -0.05}, {-0.05, 1}};
  EXPECT_FALSE(is_negligible(big, 0, 1, 0.01));
  EXPECT_EQ(1u, negligible_count(s, 0.01));
  std::vector<std::string> written;
  visit_capacitors(s, 0.01, [&](const Capacitor& c) {
    written.push_back(std::to_string(c.from) + "-" + std::to_string(c.to) + " " +
                      scaled_decimal(c.value, 0, 12));
  });
  EXPECT_EQ(
      (std::vector<std::string>{"0--1 6", "0-1 4", "1--1 7.5", "1-2 5e-1", "2--1 7.5", "3--1 1"}),
      written);
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

TEST(SpiceProgram, WritesTheExampleItsCommandsMakeAndRefusesBadInput) {
  const std::string spice = VORNAX_SPICE_BINARY, examples = VORNAX_EXAMPLES;
  TempDir dir;
  std::string out, err, vornax_out;
  std::system(("cp " + examples + "/bus2x2.txt " + dir.path).c_str());
  run(dir, std::string(VORNAX_BINARY) + " bus2x2.txt", out, err);
  EXPECT_EQ(0, run(dir, spice + " bus2x2.txt Cap.txt --unit um", out, err));
  EXPECT_EQ(read_file(examples + "/bus2x2.cir"), out);

  EXPECT_EQ(2, run(dir, spice + " bus2x2.txt Cap.txt --unit km", out, err));
  EXPECT_EQ(0u, err.find("vornax-spice: unknown unit 'km'"));
  EXPECT_NE(std::string::npos, err.find("\nusage: vornax-spice PANELFILE CAPFILE"));
  // The unit a panel file declares: taken without --unit, refused against another.
  std::ofstream(dir.path + "/declared.txt") << "title\nunit um\n"
                                            << read_file(examples + "/bus2x2.txt");
  EXPECT_EQ(0, run(dir, spice + " declared.txt Cap.txt --name bus2x2", out, err));
  EXPECT_NE(std::string::npos,
            out.find("\n* unit: um (line 2 of the panel file), so the capacitance file counts"));
  EXPECT_EQ(read_file(examples + "/bus2x2.cir")
                .substr(read_file(examples + "/bus2x2.cir").find(".subckt")),
            out.substr(out.find(".subckt")));
  EXPECT_EQ(1, run(dir, spice + " declared.txt Cap.txt --unit m", out, err));
  EXPECT_EQ(
      "vornax-spice: --unit m contradicts the panel file declared.txt, whose line 2 says "
      "'unit um'.\n",
      err);
  EXPECT_EQ(2, run(dir, spice + " bus2x2.txt Cap.txt --min-cap 1", out, err));
  EXPECT_EQ(0u, err.find("vornax-spice: --min-cap FRACTION '1' is not a number from 0 up to 1."));
  // A faulty panel file gets the extractor's own message.
  std::ofstream(dir.path + "/bad.txt") << "Q 1 0 0 0 1.0x 0 0 1 1 0 0 1 0\n";
  run(dir, std::string(VORNAX_BINARY) + " bad.txt", vornax_out, err);
  EXPECT_EQ(1, run(dir, spice + " bad.txt Cap.txt", out, err));
  EXPECT_EQ("", out);
  EXPECT_EQ(vornax_out, "\n" + err);
  EXPECT_EQ(1, run(dir, spice + " bus2x2.txt /nonexistent/Cap.txt", out, err));
  EXPECT_EQ("", out);
  EXPECT_EQ("vornax-spice: cannot open the capacitance file '/nonexistent/Cap.txt'.\n", err);
}

// 1500 conductors: C alone is 18 MB. The subcircuit streams out beside it in 64 MB of address
// space, which its capacitors and text held at once (over 100 MB) would not fit; in 16 MB even C
// does not fit, and the program says so in one line instead of aborting.
TEST(SpiceProgram, StreamsALargeSubcircuitAndAnswersExhaustedMemoryWithOneLine) {
#ifdef __SANITIZE_ADDRESS__
  GTEST_SKIP() << "the sanitizer build cannot run under ulimit -v";
#endif
  TempDir dir;
  const int m = 1500;
  ASSERT_EQ(0, std::system((std::string(VORNAX_GEN_BINARY) + " random " + std::to_string(m) +
                            " --seed 1 > " + dir.path + "/boxes.txt")
                               .c_str()));
  {
    std::ofstream cap(dir.path + "/Cap.txt");
    for (int j = 0; j < m; ++j) {
      for (int k = 0; k < m; ++k) cap << (j == k ? "100 " : "-0.01 ");
      cap << "\n";
    }
  }
  std::string out, err;
  const std::string spice = std::string(VORNAX_SPICE_BINARY) + " boxes.txt Cap.txt";
  ASSERT_EQ(0, run(dir, "ulimit -v 65536 && " + spice + " --min-cap 0", out, err)) << err;
  EXPECT_EQ("", err);
  // Header and .subckt lines, a capacitor to ground per conductor and one per pair, .ends.
  const std::size_t capacitors = m + m * (m - 1) / 2;
  std::size_t lines = 0;
  for (char c : out) lines += c == '\n' ? 1 : 0;
  EXPECT_EQ(7 + (m + 9) / 10 + capacitors + 1, lines);
  EXPECT_NE(std::string::npos, out.find("\nC_n1500_0 n1500 0 8.501e-11\n"));  // 100 - 1499 * 0.01
  // With the default 0.001, each coupling is 0.0001 of both totals: all go to ground.
  ASSERT_EQ(0, run(dir, "ulimit -v 65536 && " + spice + "", out, err)) << err;
  EXPECT_NE(std::string::npos, out.find("\nC_n1500_0 n1500 0 1e-10\n.ends boxes\n"));

  EXPECT_EQ(1, run(dir, "ulimit -v 16384 && " + spice, out, err));
  EXPECT_EQ("", out);
  EXPECT_EQ("vornax-spice: not enough memory.\n", err);
}

TEST(SpiceProgram, NgspiceMeasuresTheSymmetrisedMatrixAndRunsTheExample) {
  if (std::system("command -v ngspice >/dev/null 2>&1") != 0) {
    GTEST_SKIP() << "ngspice is not installed (apt-get install ngspice), so nothing is simulated";
  }
  TempDir dir;
  std::string out, err;
  const std::string examples = VORNAX_EXAMPLES;
  ASSERT_EQ(1, run(dir, std::string(VORNAX_BINARY) + " " + examples + "/bus4x4.txt", out, err));
  std::ifstream cap(dir.path + "/Cap.txt");
  const int m = 8;
  double c[m][m];
  for (auto& row : c) {
    for (double& value : row) ASSERT_TRUE(cap >> value);
  }

  const std::string units[] = {"m", "um"};
  const double farads[] = {1e-12, 1e-18};  // a value of Cap.txt in each unit
  for (int u = 0; u < 2; ++u) {
    ASSERT_EQ(
        0, run(dir,
               std::string(VORNAX_SPICE_BINARY) + " " + examples +
                   "/bus4x4.txt Cap.txt --min-cap 0 --unit " + units[u] + " --name bus_" + units[u],
               out, err));
    std::ofstream(dir.path + "/" + units[u] + ".cir") << out;
    MatrixRows measured = ngspice_matrix(dir, units[u] + ".cir", "bus_" + units[u], m, farads[u]);
    ASSERT_EQ(size_t(m), measured.size()) << "ngspice failed";
    for (int j = 0; j < m; ++j) {
      for (int k = 0; k < m; ++k) {
        double s = (c[k][j] + c[j][k]) / 2.0;
        EXPECT_NEAR(s, measured[j][k], 1e-6 * std::fabs(s))
            << units[u] << " S(" << k + 1 << "," << j + 1;
      }
    }
  }

  // The example: a step on wire 1 raises wire 2 by at most -S(2,1) / S(2,2)
  // of it before its driver pulls it back (88 of 250 in the Cap.txt of docs/vornax.md).
  std::system(
      ("cp " + examples + "/bus2x2.cir " + examples + "/crosstalk.cir " + dir.path).c_str());
  ASSERT_EQ(0, run(dir, "timeout 60 ngspice -b crosstalk.cir", out, err)) << out << err;
  size_t at = out.find('=', out.find("peak_noise "));
  double peak = std::strtod(out.c_str() + at + 1, nullptr);
  EXPECT_TRUE(peak > 0.0 && peak < 88.0 / 250.0) << peak;
}

TEST(SpiceNames, LabelsNamePortsDistinctlyAndNumbersAsBefore) {
  // SPICE ignores case, and ngspice takes gnd for node 0; numbers keep their names whatever
  // comes before them.
  EXPECT_EQ(std::vector<std::string>(
                {"clk_a", "n7", "Clk_A_2", "a_b", "n_1_5", "GND_2", "n7_3", "n7_2", "a_b_2"}),
            port_names(std::vector<std::string>(
                {"clk_a", "7", "Clk_A", "a-b", "1.5", "GND", "n7", "+7", "a_b"})));
}

TEST(SpiceProgram, ReadsFilesOfEitherExtractor) {
  TempDir dir;
  std::string out, err;
  const std::string spice = VORNAX_SPICE_BINARY;
  // Six copies of one square for each of two conductors: only vornax's reader takes them.
  std::ofstream shared(dir.path + "/shared.txt");
  for (int k = 0; k < 12; ++k) shared << "Q " << (k < 6 ? 3 : 5) << " 0 0 0 1 0 0 1 1 0 0 1 0\n";
  shared.close();
  std::ofstream(dir.path + "/Cap2.txt") << "2 -1 \n-1 2 \n";
  EXPECT_EQ(0, run(dir, spice + " shared.txt Cap2.txt", out, err)) << err;
  EXPECT_NE(std::string::npos, out.find("\n.subckt shared n3 n5\n"));
  // One panel of vornax-fine, which vornax refuses; and a file that neither reads.
  std::ofstream(dir.path + "/plate.txt") << "Q top 0 0 0 1 0 0 1 1 0 0 1 0\n";
  std::ofstream(dir.path + "/Cap1.txt") << "2 \n";
  EXPECT_EQ(0, run(dir, spice + " plate.txt Cap1.txt", out, err)) << err;
  EXPECT_NE(std::string::npos, out.find("\n.subckt plate top\nC_top_0 top 0 2e-12\n"));
  std::ofstream(dir.path + "/line.txt") << "Q top 0 0 0 1 0 0 1 0 0 0 0 0\n";
  EXPECT_EQ(1, run(dir, spice + " line.txt Cap1.txt", out, err));
  EXPECT_EQ(
      "Error: Panel record 1: the panel has no area: vertices 1 and 3 have the same z "
      "coordinate.\n",
      err);
}

TEST(SpiceProgram, NgspiceMeasuresTheMatrixOnLabelledPorts) {
  if (std::system("command -v ngspice >/dev/null 2>&1") != 0) {
    GTEST_SKIP() << "ngspice is not installed (apt-get install ngspice), so nothing is simulated";
  }
  // Labels whose plain names would merge nodes (A and a, gnd and node 0) or capacitors (C_a_b_c
  // from a to b_c and from a_b to c).
  const std::vector<std::string> labels = {"a", "b_c", "a_b", "c", "gnd", "A"};
  const int m = 6;
  TempDir dir;
  std::ofstream panels(dir.path + "/labelled.txt"), cap(dir.path + "/Cap.txt");
  for (int j = 0; j < m; ++j) {
    panels << "Q " << labels[j] << ' ' << 2 * j << " 0 0 " << 2 * j + 1 << " 0 0 " << 2 * j + 1
           << " 1 0 " << 2 * j << " 1 0\n";
    for (int k = 0; k < m; ++k) cap << (j == k ? 20.0 : -(1.0 + j + k + j * k / 10.0)) << ' ';
    cap << '\n';
  }
  panels.close(), cap.close();
  std::string out, err;
  ASSERT_EQ(0, run(dir, std::string(VORNAX_SPICE_BINARY) + " labelled.txt Cap.txt", out, err));
  EXPECT_NE(std::string::npos, out.find("named after their conductor labels\n"));
  EXPECT_NE(std::string::npos, out.find("\n.subckt labelled a b_c a_b c gnd_2 A_2\n"));
  EXPECT_NE(std::string::npos, out.find("\nC_a_b_c_2 a_b c "));
  std::ofstream(dir.path + "/labelled.cir") << out;
  // Below 16 % of both totals of 20: a-b_c (2) and a-a_b (3) are left out, and ngspice sees the
  // same totals, no coupling there and every other one as it was.
  ASSERT_EQ(0, run(dir,
                   std::string(VORNAX_SPICE_BINARY) +
                       " labelled.txt Cap.txt --min-cap 0.16 --name dropped",
                   out, err));
  std::ofstream(dir.path + "/dropped.cir") << out;

  for (const char* name : {"labelled", "dropped"}) {
    MatrixRows measured = ngspice_matrix(dir, std::string(name) + ".cir", name, m, 1e-12);
    ASSERT_EQ(size_t(m), measured.size()) << "ngspice failed";
    for (int j = 0; j < m; ++j) {
      for (int k = 0; k < m; ++k) {
        double s = j == k ? 20.0 : -(1.0 + j + k + j * k / 10.0);
        if (name[0] == 'd' && j + k < 3 && j != k) s = 0.0;
        EXPECT_NEAR(s, measured[j][k], 1e-6 * std::fabs(s) + 1e-9) << name << j << " " << k;
      }
    }
  }
}

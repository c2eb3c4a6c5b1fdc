// vornax-spice as a program: the example its commands make, its messages, a large matrix in
// little memory, files of either extractor, and the matrix that ngspice measures on its
// subcircuits (ngspice, apt-get install ngspice, is needed for those).
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
            out.find("\n* unit: um (declared by the panel file), so the capacitance file counts"));
  EXPECT_EQ(read_file(examples + "/bus2x2.cir")
                .substr(read_file(examples + "/bus2x2.cir").find(".subckt")),
            out.substr(out.find(".subckt")));
  EXPECT_EQ(1, run(dir, spice + " declared.txt Cap.txt --unit m", out, err));
  EXPECT_EQ(
      "vornax-spice: --unit m contradicts the unit um that the panel file declared.txt declares.\n",
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
  // The rows of the master conductors alone: the other one couples to them, no more.
  const std::string plates = "Q a 0 0 0 1 0 0 1 1 0 0 1 0\nQ b 0 0 1 1 0 1 1 1 1 0 1 1\n";
  std::ofstream(dir.path + "/halo.txt") << "masters 2\n" + plates;
  std::ofstream(dir.path + "/Cap_b.txt") << "-1 3\n";
  EXPECT_EQ(0, run(dir, spice + " halo.txt Cap_b.txt", out, err)) << err;
  EXPECT_NE(std::string::npos, out.find("\n.subckt halo a b\nC_a_b a b 1e-12\nC_b_0 b 0 2e-12\n"))
      << out;
  std::ofstream(dir.path + "/far.txt") << "masters 3\n" + plates;
  EXPECT_EQ(1, run(dir, spice + " far.txt Cap_b.txt", out, err));
  EXPECT_EQ("Error: far.txt:1: master conductor 3 of 2.\n", err);
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

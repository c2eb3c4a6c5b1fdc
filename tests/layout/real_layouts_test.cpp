// vornax-layout on the process kit's own layouts (the SG13G2 standard cells and SRAM macro of the
// shared folder), with no hand edit: the flip-flop's pins keep their names, a small cell goes
// through vornax-fine and vornax-spice into an ngspice transient, and the SRAM's word lines keep
// their hierarchical names. Skipped, with a message, without KLayout or the shared files.
#include "klayout_fixture.h"

using namespace klayout_fixture;  // NOLINT: the fixture and its helpers

namespace {

const std::string kit = VORNAX_SG13G2;
const std::string cells = kit + "/sg13g2_stdcell.gds";
const std::string stack = kit + "/sg13g2.stack";

#define NEEDS_THE_KIT()         \
  NEEDS_KLAYOUT();              \
  if (read_file(stack).empty()) \
  GTEST_SKIP() << "the SG13G2 layouts are not in " << kit << " (-DVORNAX_SHARED_DIR)"

/// The number between '=' and the next blank after `key` in `text`, 0 without one.
double measured(const std::string& text, const std::string& key) {
  size_t at = text.find(key + " ");
  return at == std::string::npos ? 0.0 : std::atof(text.c_str() + text.find('=', at) + 1);
}

}  // namespace

TEST_F(LayoutThroughKLayout, TheFlipFlopKeepsItsPinNamesQIncluded) {
  NEEDS_THE_KIT();
  // Its names, in the panel file and in vornax-view's picture of it.
  ASSERT_EQ(0, run("(" VORNAX_LAYOUT_BINARY " " + cells + " " + stack +
                   " --cell sg13g2_dfrbp_1 --substrate 2 > dff.txt)")
                   .status);
  std::vector<std::string> labels = conductor_labels(read_panels(read_file(dir + "/dff.txt")));
  EXPECT_EQ(19u, labels.size());  // 18 nets and the substrate
  for (const char* pin : {"CLK", "D", "Q", "Q_N", "RESET_B", "VDD", "VSS", "substrate"})
    EXPECT_NE(labels.end(), std::find(labels.begin(), labels.end(), pin)) << pin;
  ProgramRun view = run(VORNAX_VIEW_BINARY " dff.txt");
  ASSERT_EQ(0, view.status) << view.err;
  EXPECT_NE(std::string::npos, view.out.find(">Q</text></g>"));
}

TEST_F(LayoutThroughKLayout, SeveralCellsInOneRunGiveTheFilesOfOneCellRuns) {
  NEEDS_THE_KIT();
  const std::string options = " --substrate 2 --labels top";
  for (const char* cell : {"sg13g2_inv_1", "sg13g2_dfrbp_1"}) {
    ASSERT_EQ(0, run("(" VORNAX_LAYOUT_BINARY " " + cells + " " + stack + " --cell " + cell +
                     options + " > " + cell + ".one)")
                     .status);
  }
  // A cell the layout lacks is named on standard error, leaves no file, and the others go on.
  ProgramRun batch =
      run("(mkdir panels && " VORNAX_LAYOUT_BINARY " " + cells + " " + stack +
          " --cells sg13g2_dfrbp_1,no_such_cell,sg13g2_inv_1 --output panels" + options + ")");
  EXPECT_EQ(1, batch.status);
  EXPECT_EQ(0u, batch.err.find("vornax-layout: no_such_cell: the layout '")) << batch.err;
  EXPECT_FALSE(std::ifstream(dir + "/panels/no_such_cell.txt").good());
  for (const std::string cell : {"sg13g2_inv_1", "sg13g2_dfrbp_1"}) {
    const std::string one = read_file(dir + "/" + cell + ".one");
    EXPECT_NE(std::string::npos, one.find("\nQ ")) << cell;
    EXPECT_TRUE(one == read_file(dir + "/panels/" + cell + ".txt")) << cell;  // not printed: long
  }
}

// The flip-flop from the kit's GDS to a transient, with no hand edit: its clock's edge into the
// net it couples to most, every other net at ground. The victim can rise by at most its share
// -C(victim, CLK) / C(victim, victim) of the step, and must rise visibly.
TEST_F(LayoutThroughKLayout, TheFlipFlopGoesFromItsLayoutIntoAnNgspiceTransient) {
  NEEDS_THE_KIT();
  ProgramRun chain = run("(" VORNAX_LAYOUT_BINARY " " + cells + " " + stack +
                         " --cell sg13g2_dfrbp_1 --substrate 2 > dff.txt && " VORNAX_FINE_BINARY
                         " dff.txt --accuracy 5 > /dev/null && " VORNAX_SPICE_BINARY
                         " dff.txt Cap.txt > dff.cir)");
  ASSERT_EQ(0, chain.status) << chain.err;
  const std::vector<std::string> labels =
      conductor_labels(read_panels(read_file(dir + "/dff.txt")));
  const size_t n = labels.size();
  std::istringstream cap(read_file(dir + "/Cap.txt"));
  std::vector<double> c(n * n);
  for (double& value : c) ASSERT_TRUE(cap >> value);
  const size_t clock = std::find(labels.begin(), labels.end(), "CLK") - labels.begin();
  ASSERT_LT(clock, n);
  size_t victim = clock;
  double share = 0.0;
  for (size_t j = 0; j < n; ++j) {
    const double s = -(c[j * n + clock] + c[clock * n + j]) / 2 / c[j * n + j];
    if (j != clock && s > share) {
      share = s;
      victim = j;
    }
  }
  ASSERT_NE(clock, victim);
  if (std::system("command -v ngspice > /dev/null") != 0)
    GTEST_SKIP() << "ngspice is not installed (apt-get install ngspice), so nothing is simulated";
  std::string instance = "Xcell";
  for (size_t j = 0; j < n; ++j) instance += j == clock ? " clk" : j == victim ? " victim" : " 0";
  write("deck.cir", ".include dff.cir\n" + instance +
                        " dff\nVstep step 0 PULSE(0 1 1p 1p 1p 100p 200p)\n"
                        "Rdriver step clk 200\nRvictim victim 0 1k\n.tran 0.01p 20p\n"
                        ".meas tran peak_noise MAX v(victim)\n.end\n");
  ProgramRun spice = run("timeout 60 ngspice -b deck.cir");
  ASSERT_EQ(0, spice.status) << spice.out << spice.err;
  const double noise = measured(spice.out, "peak_noise");
  EXPECT_GT(noise, 0.001) << labels[victim];
  EXPECT_LT(noise, share) << labels[victim];
}

TEST_F(LayoutThroughKLayout, ACellOfTheKitGoesIntoAnNgspiceTransient) {
  NEEDS_THE_KIT();
  // sg13g2_nand2_1 at 5 %, a few seconds; the unit comes from the file.
  ProgramRun chain = run("(" VORNAX_LAYOUT_BINARY " " + cells + " " + stack +
                         " --cell sg13g2_nand2_1 --substrate 2 > nand2.txt && " VORNAX_FINE_BINARY
                         " nand2.txt --accuracy 5 > /dev/null && " VORNAX_SPICE_BINARY
                         " nand2.txt Cap.txt > nand2.cir)");
  ASSERT_EQ(0, chain.status) << chain.err;
  std::string circuit = read_file(dir + "/nand2.cir");
  EXPECT_NE(std::string::npos, circuit.find("\n.subckt nand2 A B VDD VSS Y substrate\n"));
  if (std::system("command -v ngspice > /dev/null") != 0)
    GTEST_SKIP() << "ngspice is not installed (apt-get install ngspice), so nothing is simulated";
  // A 1 V edge of 1 ps on A through 200 ohm; Y held low through 1 kohm; the rails and the
  // substrate at ground. Y can rise by at most the share -S(Y,A) / S(Y,Y) of the step.
  write("deck.cir",
        ".include nand2.cir\nXcell a b 0 0 y 0 nand2\nVstep step 0 PULSE(0 1 1p 1p 1p 100p 200p)\n"
        "Rdriver step a 200\nRb b 0 1k\nRy y 0 1k\n.tran 0.01p 20p\n"
        ".meas tran peak_noise MAX v(y)\n.end\n");
  ProgramRun spice = run("timeout 60 ngspice -b deck.cir");
  ASSERT_EQ(0, spice.status) << spice.out << spice.err;
  std::istringstream cap(read_file(dir + "/Cap.txt"));
  std::vector<double> c(36);
  for (double& value : c) ASSERT_TRUE(cap >> value);
  const double share = -(c[4 * 6 + 0] + c[0 * 6 + 4]) / 2 / c[4 * 6 + 4];  // Y is row 5, A row 1
  const double noise = measured(spice.out, "peak_noise");
  EXPECT_GT(noise, 0.001);
  EXPECT_LT(noise, share);
}

TEST_F(LayoutThroughKLayout, TheSramWindowKeepsItsFourWordLinesApart) {
  NEEDS_THE_KIT();
  ProgramRun layout =
      convert(kit + "/RM_IHPSG13_1P_64x64_c2_bm_bist.gds " + stack + " --window 104,50,106,54");
  ASSERT_EQ(0, layout.status) << layout.err;
  std::vector<std::string> word_lines;
  for (const std::string& label : conductor_labels(read_panels(layout.out))) {
    EXPECT_NE("RWL", label);
    if (label.size() > 4 && label.compare(label.size() - 4, 4, "/RWL") == 0 &&
        label.find("RM_IHPSG13_1P_MATRIX_16x128[") == 0)
      word_lines.push_back(label);
  }
  EXPECT_EQ(4u, word_lines.size());
  // The bit line labelled at both ends takes the first text, and names the other once.
  EXPECT_NE(std::string::npos, layout.err.find("/BLC_BOT' also carries the labels "));
  EXPECT_NE(std::string::npos, layout.err.find("/BLC_TOP'"));
}

TEST_F(LayoutThroughKLayout, ACellInTheKitsOxideIsItsVacuumMatrixTimesTheOxidesPermittivity) {
  NEEDS_THE_KIT();
  // The example stack puts the whole back end in one oxide of εr 4.1: a uniform medium, so the
  // cap3d file's matrix is exactly 4.1 times the panel file's. Before faces in a uniform medium
  // were meshed as in vacuum, the cap3d file's second level did not converge.
  ProgramRun chain = run(
      "(" VORNAX_LAYOUT_BINARY " " + cells + " " VORNAX_EXAMPLES "/layout/sg13g2.stack" +
      " --cell sg13g2_nand2_1 --substrate 2 --cap3d nand2.cap3d > nand2.txt && " VORNAX_FINE_BINARY
      " nand2.txt --accuracy 5 > /dev/null && mv Cap.txt vacuum.txt && " VORNAX_FINE_BINARY
      " nand2.cap3d --accuracy 5 > /dev/null)");
  ASSERT_EQ(0, chain.status) << chain.err;
  std::istringstream vacuum(read_file(dir + "/vacuum.txt")), oxide(read_file(dir + "/Cap.txt"));
  std::vector<double> in_vacuum(36), in_oxide(36);
  for (double& value : in_vacuum) ASSERT_TRUE(vacuum >> value);
  for (double& value : in_oxide) ASSERT_TRUE(oxide >> value);
  // The two files list the nets alike (the panel file's order is the cap3d file's); the same
  // mesh, so the same numbers to the solves' tolerance.
  for (int j = 0; j < 6; ++j) {
    for (int k = 0; k < 6; ++k) {
      EXPECT_NEAR(4.1 * in_vacuum[j * 6 + k], in_oxide[j * 6 + k], 1e-4 * in_oxide[j * 6 + j])
          << "entry " << j << ", " << k;
    }
  }
}

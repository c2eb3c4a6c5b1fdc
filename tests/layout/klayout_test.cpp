// vornax-layout end to end: layouts drawn by KLayout (draw_layouts.py) converted and checked
// against vornax-gen and hand calculations. Tests that need KLayout are skipped without it.
#include "klayout_fixture.h"

using namespace klayout_fixture;  // NOLINT: the fixture and its helpers

TEST_F(LayoutThroughKLayout, CrossingBusGivesThePanelsOfVornaxGen) {
  NEEDS_KLAYOUT();
  draw("bus.gds");
  write("bus_stack.txt", "metal lower 1/0 0 0.25\nmetal upper 2/0 0.5 0.25\n");
  ProgramRun layout = convert("bus.gds bus_stack.txt");
  ASSERT_EQ(0, layout.status) << layout.err;
  EXPECT_EQ("", layout.err);
  EXPECT_EQ(0u, layout.out.find("vornax-layout panel file, coordinates in micrometres: layout "
                                "'bus.gds', cell 'TOP', stack 'bus_stack.txt'\nunit um\n"
                                "Q lower_x0_y0.25 "));
  ProgramRun gen = run(VORNAX_GEN_BINARY " bus 3 --scale 0.25");
  ASSERT_EQ(0, gen.status);
  std::vector<std::vector<Bounds>> expected = canonical(read_panels(gen.out));
  ASSERT_EQ(6u, expected.size());
  EXPECT_EQ(expected, canonical(read_panels(layout.out)));
}

TEST_F(LayoutThroughKLayout, NetsBecomeNamedConductorsOfTheirWholeSurface) {
  NEEDS_KLAYOUT();
  draw("shapes.oas");
  ProgramRun layout = convert("shapes.oas stack.txt");
  ASSERT_EQ(0, layout.status) << layout.err;
  EXPECT_EQ(
      "vornax-layout: warning: the label 'stray' at (20, 20) um on layer 101/0 touches no "
      "shape of m1 and names nothing\n",
      layout.err);
  std::vector<Panel> panels = read_panels(layout.out);
  EXPECT_EQ((std::vector<std::string>{"ell", "m2_x0_y5", "riser"}), conductor_labels(panels));
  double area, volume;
  // The L: footprint 3 + 2, perimeter 12, one thick: 2 * 5 + 12 = 22.
  area_and_volume(panels, "ell", area, volume);
  EXPECT_EQ(22, area);
  EXPECT_EQ(5, volume);
  for (const Panel& p : panels) {
    // Nothing on the inner face of the two boxes, however KLayout cut the L.
    const double* c = p.corner.data();
    bool on_y1 = c[1] == 1 && c[4] == 1 && c[7] == 1 && std::min({c[0], c[3], c[6]}) < 1;
    bool on_x1 = c[0] == 1 && c[3] == 1 && c[6] == 1 && std::min({c[1], c[4], c[7]}) < 1;
    EXPECT_FALSE(p.label == "ell" && (on_y1 || on_x1));
  }
  // A 4 x 1 x 1 wire, a 1 x 1 x 1 via on its end and a 1 x 4 x 1 wire above:
  // 18 + 6 + 18 minus the two 1 x 1 contacts on both sides.
  area_and_volume(panels, "riser", area, volume);
  EXPECT_EQ(38, area);
  EXPECT_EQ(9, volume);
  area_and_volume(panels, "m2_x0_y5", area, volume);
  EXPECT_EQ(10, area);
}

TEST_F(LayoutThroughKLayout, TheExampleGivesItsNamedNets) {
  NEEDS_KLAYOUT();
  ProgramRun layout = convert(VORNAX_EXAMPLES "/layout/example.gds " VORNAX_EXAMPLES
                                              "/layout/stack.txt --substrate 2");
  ASSERT_EQ(0, layout.status) << layout.err;
  EXPECT_EQ((std::vector<std::string>{"clk_a", "data_b", "met1_x0_y3", "substrate", "vdd"}),
            conductor_labels(read_panels(layout.out)));
}

TEST_F(LayoutThroughKLayout, WindowClipsAndTheSubstrateLiesBelow) {
  NEEDS_KLAYOUT();
  draw("bus.gds");
  write("raised.txt", "metal lower 1/0 0.25 0.25\nmetal upper 2/0 0.75 0.25\n");
  ProgramRun layout = convert("bus.gds raised.txt --window 0,0,1,1.75 --substrate 0.5");
  ASSERT_EQ(0, layout.status) << layout.err;
  // Upper wire 2 (x from 1.25) is outside; the rest is cut at x = 1.
  std::vector<std::vector<Bounds>> conductors = canonical(read_panels(layout.out));
  ASSERT_EQ(6u, conductors.size());
  double most_x = 0;
  for (const auto& c : conductors) {
    for (const Bounds& b : c) most_x = std::max(most_x, b[1]);
  }
  EXPECT_EQ(1.5, most_x);  // the substrate: window and halo
  EXPECT_NE(
      std::string::npos,
      layout.out.find("\nQ substrate  -0.5 -0.5 -1  -0.5 -0.5 0  -0.5 2.25 0  -0.5 2.25 -1\n"));
}

TEST_F(LayoutThroughKLayout, FaultyLayoutsGetOneLineNamingThePlace) {
  NEEDS_KLAYOUT();
  draw("slanted.gds two_tops.gds");
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"slanted.gds",
       "layer 1/0 (m1): the shape with the edge from (4, 1) to (3, 0) um is not "
       "made of axis-parallel rectangles"},
      {"two_tops.gds",
       "the layout 'two_tops.gds' has 2 top cells, OTHER, TOP; choose one with --cell"},
      {"two_tops.gds --cell NONE",
       "the layout 'two_tops.gds' has no cell 'NONE'; its top cells are OTHER, TOP"},
  };
  for (const auto& c : cases) {
    ProgramRun layout = convert(c.first + " stack.txt");
    EXPECT_EQ(1, layout.status) << c.first;
    EXPECT_EQ("vornax-layout: " + c.second + "\n", layout.err);
    EXPECT_EQ("", layout.out);
  }
  ProgramRun chosen = convert("two_tops.gds stack.txt --cell OTHER");
  EXPECT_EQ(0, chosen.status) << chosen.err;
  EXPECT_NE(std::string::npos, chosen.out.find("\nQ m1_x0_y0  0 0 0  0 0 1  0 2 1  0 2 0\n"));
}

TEST_F(LayoutThroughKLayout, ArgumentsStackAndMissingKLayoutNeedNoKLayout) {
  ProgramRun bad = convert("only_one.gds");
  EXPECT_EQ(2, bad.status);
  EXPECT_EQ(0u,
            bad.err.find("vornax-layout: expected two files, LAYOUT and STACK, got 1.\nusage: "));
  ProgramRun help = convert("--help");
  EXPECT_EQ(0, help.status);
  EXPECT_EQ(0u, help.out.find("usage: vornax-layout LAYOUT STACK"));
  write("bad_stack.txt", "metal m1 1/0 0 1\nvia v1 3/0 m1 m9\n");
  ProgramRun stack = convert("none.gds bad_stack.txt");
  EXPECT_EQ(1, stack.status);
  EXPECT_EQ("vornax-layout: bad_stack.txt:2: via v1: 'm9' is not a metal of the stack\n",
            stack.err);
  write("some.gds", "");
  ProgramRun missing = run("PATH=/nonexistent " VORNAX_LAYOUT_BINARY " some.gds stack.txt");
  EXPECT_EQ(1, missing.status);
  EXPECT_EQ(
      "vornax-layout: klayout is not on PATH; vornax-layout reads layouts through KLayout: "
      "install the Debian package klayout (apt-get install klayout).\n",
      missing.err);
  EXPECT_EQ("", missing.out);
}

TEST_F(LayoutThroughKLayout, TheDrawnBusGivesTheMatrixOfVornaxGenAndNamesSurviveIntoACircuit) {
  NEEDS_KLAYOUT();
  // The 3 x 3 bus drawn in KLayout and written by vornax-gen: the same panels in another order
  // and under other labels, and for K = 3 the order of the labels is that of vornax-gen.
  draw("bus.gds");
  write("bus_stack.txt", "metal lower 1/0 0 0.25\nmetal upper 2/0 0.5 0.25\n");
  // (Parentheses, so that the redirections of run() take the group's output, not ours.)
  ASSERT_EQ(0, run("(" VORNAX_LAYOUT_BINARY " bus.gds bus_stack.txt > drawn.txt)").status);
  ASSERT_EQ(0, run("(" VORNAX_GEN_BINARY " bus 3 --scale 0.25 > generated.txt)").status);
  ASSERT_EQ(0, run("(" VORNAX_FINE_BINARY " drawn.txt && mv Cap.txt drawn.cap)").status);
  ASSERT_EQ(0, run("(" VORNAX_FINE_BINARY " generated.txt && mv Cap.txt generated.cap)").status);
  std::istringstream drawn(read_file(dir + "/drawn.cap")),
      generated(read_file(dir + "/generated.cap"));
  double a, b;
  int entries = 0;
  while (generated >> b) {
    ASSERT_TRUE(drawn >> a);
    EXPECT_NEAR(a, b, 1e-6 * std::fabs(b)) << "entry " << entries;
    ++entries;
  }
  EXPECT_EQ(36, entries);

  // The example's nets keep their names as the ports of the subcircuit, and ngspice runs it.
  ProgramRun example =
      run("(" VORNAX_LAYOUT_BINARY " " VORNAX_EXAMPLES "/layout/example.gds " VORNAX_EXAMPLES
          "/layout/stack.txt --substrate 2 > example.txt && " VORNAX_FINE_BINARY
          " example.txt > /dev/null && " VORNAX_SPICE_BINARY " example.txt Cap.txt --unit um)");
  ASSERT_EQ(0, example.status) << example.err;
  EXPECT_NE(std::string::npos,
            example.out.find(".subckt example clk_a data_b met1_x0_y3 substrate vdd\n"));
  if (std::system("command -v ngspice > /dev/null") != 0) return;
  write("example.cir", example.out);
  write("deck.cir",
        ".include example.cir\nXlayout clk_a data_b stub 0 vdd example\n"
        "Vstep step 0 PULSE(0 1 1p 1p 1p 100p 200p)\nRdriver step clk_a 200\n"
        "Rvictim data_b 0 1k\nRstub stub 0 1k\nVvdd vdd 0 0\n.tran 0.01p 20p\n"
        ".meas tran peak_noise MAX v(data_b)\n.end\n");
  ProgramRun spice = run("ngspice -b deck.cir");
  ASSERT_EQ(0, spice.status) << spice.out << spice.err;
  std::size_t at = spice.out.find("peak_noise");
  ASSERT_NE(std::string::npos, at) << spice.out;
  double noise = std::atof(spice.out.c_str() + spice.out.find('=', at) + 1);
  // The quiet wire picks up a noticeable part of the volt, less than half of it.
  EXPECT_GT(noise, 0.05);
  EXPECT_LT(noise, 0.5);
}

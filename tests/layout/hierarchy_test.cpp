// vornax-layout on hierarchical layouts: names that follow the instances, several labels on one
// net, a label Q through to SPICE, and the halo around a window.
#include "klayout_fixture.h"

using namespace klayout_fixture;  // NOLINT: the fixture and its helpers

TEST_F(LayoutThroughKLayout, SubcellLabelsNameNetsByTheirInstancePath) {
  NEEDS_KLAYOUT();
  draw("hierarchy.gds");
  // Three instances of ROW, numbered from the bottom up whatever the order of placing; the
  // top cell's label names the middle one; LEAF's stub inside each ROW is a net of its own.
  ProgramRun all = convert("hierarchy.gds stack.txt");
  ASSERT_EQ(0, all.status) << all.err;
  EXPECT_EQ((std::vector<std::string>{"ROW[1]/LEAF[1]/stub", "ROW[1]/wl", "ROW[2]/LEAF[1]/stub",
                                      "ROW[3]/LEAF[1]/stub", "ROW[3]/wl", "word"}),
            conductor_labels(read_panels(all.out)));
  EXPECT_EQ("vornax-layout: note: the net named 'word' also carries the label 'ROW[2]/wl'\n",
            all.err);
  ProgramRun top = convert("hierarchy.gds stack.txt --labels top");
  ASSERT_EQ(0, top.status) << top.err;
  EXPECT_EQ((std::vector<std::string>{"m1_x0_y0", "m1_x0_y4", "m1_x5_y0", "m1_x5_y2", "m1_x5_y4",
                                      "word"}),
            conductor_labels(read_panels(top.out)));
  EXPECT_EQ("", top.err);
}

TEST_F(LayoutThroughKLayout, ALabelOfSeveralNamesItsNetAndQReachesTheCircuit) {
  NEEDS_KLAYOUT();
  draw("two_labels.gds");
  ASSERT_EQ(0, run("(" VORNAX_LAYOUT_BINARY " two_labels.gds stack.txt > two_labels.txt)").status);
  EXPECT_EQ("vornax-layout: note: the net named 'a' also carries the label 'b'\n",
            read_file(dir + "/err"));
  ProgramRun spice =
      run("(" VORNAX_FINE_BINARY " two_labels.txt > /dev/null && " VORNAX_SPICE_BINARY
          " two_labels.txt Cap.txt)");
  ASSERT_EQ(0, spice.status) << spice.err;
  EXPECT_NE(std::string::npos, spice.out.find(".subckt two_labels Q a u\n")) << spice.out;
  EXPECT_NE(std::string::npos, spice.out.find("\nC_Q_a Q a ")) << spice.out;
  // A window that cuts the bar off a U leaves its two arms, one net still: one conductor.
  ProgramRun arms = convert("two_labels.gds stack.txt --window 0,7,4,9");
  ASSERT_EQ(0, arms.status) << arms.err;
  EXPECT_EQ(std::vector<std::string>{"u"}, conductor_labels(read_panels(arms.out)));
  double area, volume;
  area_and_volume(read_panels(arms.out), "u", area, volume);
  EXPECT_EQ(2, volume);
}

TEST_F(LayoutThroughKLayout, AHaloCarriesTheWiresOnAndMarksTheNetsOfTheWindow) {
  NEEDS_KLAYOUT();
  draw("hierarchy.gds");
  // The window holds the lowest word line; the halo takes it on to x = 3 of its 4 and the one
  // above in part, a net of the halo alone; the highest only touches the halo's edge.
  ProgramRun layout = convert("hierarchy.gds stack.txt --window 0,0,2,1.5 --halo 1");
  ASSERT_EQ(0, layout.status) << layout.err;
  EXPECT_NE(std::string::npos, layout.out.find("\nunit um\nmasters 1\nQ ROW[1]/wl "));
  std::vector<std::vector<Bounds>> conductors = canonical(read_panels(layout.out));
  ASSERT_EQ(2u, conductors.size());
  std::vector<Panel> panels = read_panels(layout.out);
  double area, volume;
  area_and_volume(panels, "ROW[1]/wl", area, volume);
  EXPECT_EQ(3, volume);  // 3 x 1 x 1, cut at the halo's edge, not at the window's
  area_and_volume(panels, "word", area, volume);
  EXPECT_EQ(1.5, volume);  // 3 x 0.5 x 1 inside the halo
  ProgramRun no_window = convert("hierarchy.gds stack.txt --halo 1");
  EXPECT_EQ(2, no_window.status);
  EXPECT_EQ(0u, no_window.err.find("vornax-layout: --halo needs a --window to go around.\n"));
}

TEST_F(LayoutThroughKLayout, ItsCap3dFileIsDrawnAndNamedLikeItsPanelFile) {
  NEEDS_KLAYOUT();
  draw("two_labels.gds");
  ASSERT_EQ(0, run("(" VORNAX_LAYOUT_BINARY " two_labels.gds stack.txt --cap3d t.cap3d)").status);
  ProgramRun view = run(VORNAX_VIEW_BINARY " t.cap3d");
  ASSERT_EQ(0, view.status) << view.err;
  EXPECT_NE(std::string::npos, view.out.find(">Q</text></g>"));
  write("Cap.txt", "3 -1 -1\n-1 3 -1\n-1 -1 3\n");
  ProgramRun spice = run(VORNAX_SPICE_BINARY " t.cap3d Cap.txt");
  ASSERT_EQ(0, spice.status) << spice.err;
  EXPECT_NE(std::string::npos, spice.out.find("* unit: um (declared by the cap3d file)"));
  EXPECT_NE(std::string::npos, spice.out.find("\n.subckt t Q a u\nC_Q_0 Q 0 1e-18\n"));
}

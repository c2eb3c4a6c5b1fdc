// vornax-layout without KLayout: exact lengths, the stack file, the command line, the surface of a
// union of boxes against a brute-force count of unit faces, and how nets become conductors.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <tuple>
#include <vector>

#include "structure/exact_length.h"
#include "structure/union_surface.h"
#include "tools/layout/layout_arguments.h"
#include "tools/layout/layout_conductors.h"
#include "tools/layout/layout_nets.h"
#include "tools/layout/net_names.h"
#include "tools/layout/stack_file.h"

namespace {

const Femtometres um = kFemtometresPerMicrometre;

std::string read_stack_text(const std::string& text, Stack& stack) {
  std::istringstream in(text);
  return read_stack(in, "s.txt", stack);
}

const char kStack[] =
    "# two metals and the via between them\n"
    "metal m1 1/0 0.5 0.25\n"
    "via v1 3/0 m1 m2   # defined before m2\n"
    "\n"
    "metal m2 2/0 1 0.3\n"
    "label 101/0 m1\n"
    "label 2/0 m2\n"
    "dielectric oxide 1.25 3.9\n"
    "dielectric air 4 1.0\n";

/// A label of a net at (0, 0), in the cell below the instances of `path` ("A[1]/B[2]/" or "").
NetLabel label(const std::string& path, const std::string& text) {
  NetLabel l;
  l.depth = static_cast<int32_t>(std::count(path.begin(), path.end(), '/'));
  l.name = path + text;
  l.text_from = path.size();
  l.layer = "101/0";
  return l;
}

/// A unit face of the integer grid: axis, plane, the cell's two other coordinates, outward sign.
using UnitFace = std::tuple<int, int64_t, int64_t, int64_t, int>;

/// The surface of boxes on an integer grid, unit face by unit face, from their cells alone.
std::set<UnitFace> brute_force_faces(const std::vector<SolidBox>& boxes, int64_t size) {
  auto solid = [&](int64_t p[3]) {
    for (const SolidBox& b : boxes) {
      if (p[0] >= b.lo[0] && p[0] < b.hi[0] && p[1] >= b.lo[1] && p[1] < b.hi[1] &&
          p[2] >= b.lo[2] && p[2] < b.hi[2])
        return true;
    }
    return false;
  };
  std::set<UnitFace> faces;
  for (int axis = 0; axis < 3; ++axis) {
    int u = (axis + 1) % 3, v = (axis + 2) % 3;
    for (int64_t level = 0; level <= size; ++level)
      for (int64_t i = 0; i < size; ++i)
        for (int64_t j = 0; j < size; ++j) {
          int64_t below[3], above[3];
          below[axis] = level - 1, above[axis] = level;
          below[u] = above[u] = i, below[v] = above[v] = j;
          if (solid(below) != solid(above))
            faces.insert({axis, level, i, j, solid(below) ? 1 : -1});
        }
  }
  return faces;
}

/// The unit faces that `rects` cover, failing on any covered twice; also checks that each rect's
/// corners turn counterclockwise seen from the side that `outward` names.
std::set<UnitFace> covered_faces(const std::vector<SurfaceRect>& rects) {
  std::set<UnitFace> faces;
  for (const SurfaceRect& r : rects) {
    Femtometres c[4][3];
    surface_corners(r, c);
    int u = (r.axis + 1) % 3, v = (r.axis + 2) % 3;
    Femtometres normal =
        (c[1][u] - c[0][u]) * (c[3][v] - c[0][v]) - (c[1][v] - c[0][v]) * (c[3][u] - c[0][u]);
    EXPECT_GT(normal * r.outward, 0);
    for (int64_t i = r.lo[0]; i < r.hi[0]; ++i)
      for (int64_t j = r.lo[1]; j < r.hi[1]; ++j)
        EXPECT_TRUE(faces.insert({r.axis, r.level, i, j, r.outward}).second) << "overlap";
  }
  return faces;
}

}  // namespace

TEST(ExactLength, DecimalsReadAndPrintExactly) {
  Femtometres value = 0;
  for (const char* text : {"0", "2", "-0.35", "0.000000001", "9223372035.999999999", "-1.5"}) {
    ASSERT_TRUE(parse_micrometres(text, value)) << text;
    EXPECT_EQ(text, format_micrometres(value));
  }
  EXPECT_TRUE(parse_micrometres(".5", value));
  EXPECT_EQ(um / 2, value);
  EXPECT_TRUE(parse_micrometres("+3.", value));
  EXPECT_EQ(3 * um, value);
  for (const char* text : {"", "-", ".", "1e-3", "0x1", "1.0000000001", "9223372036", "1,5", " 1"})
    EXPECT_FALSE(parse_micrometres(text, value)) << text;
}

TEST(StackFile, ReadsHeightsViasLabelsAndWhichLayersTouch) {
  Stack stack;
  ASSERT_EQ("", read_stack_text(kStack, stack));
  ASSERT_EQ(3u, stack.layers.size());
  const StackLayer& via = stack.layers[1];
  EXPECT_TRUE(via.is_via);
  EXPECT_EQ(3, via.line);
  EXPECT_EQ(750000000, via.z_bottom);  // the top of m1, 0.5 + 0.25
  EXPECT_EQ(1 * um, via.z_top);        // the bottom of m2
  EXPECT_EQ(1300000000, stack.layers[2].z_top);
  ASSERT_EQ(2u, stack.labels.size());
  EXPECT_EQ(0, stack.labels[0].metal);
  EXPECT_EQ(2, stack.labels[1].metal);
  EXPECT_EQ((std::vector<std::pair<int32_t, int32_t>>{{0, 1}, {1, 2}}),
            touching_layer_pairs(stack));
  ASSERT_EQ(2u, stack.dielectrics.size());
  EXPECT_EQ(1250000000, stack.dielectrics[0].z_top);
  EXPECT_EQ("3.9", stack.dielectrics[0].permittivity);
  EXPECT_EQ("1", stack.dielectrics[1].permittivity);
}

TEST(StackFile, FaultsNameTheFileAndLine) {
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"metal m1 1/0 0 1\nmetl m2 2/0 2 1\n",
       "s.txt:2: unknown record 'metl'; a line is metal, via, label or dielectric"},
      {"metal m1 1/0 0\n", "s.txt:1: metal takes NAME LAYER/DATATYPE ZBOTTOM THICKNESS"},
      {"metal 1m 1/0 0 1\n",
       "s.txt:1: the name '1m' is not a letter followed by letters, digits and '_'"},
      {"metal m1 1/0 0 1\nvia m1 3/0 m1 m1\n", "s.txt:2: the name m1 is already given on line 1"},
      {"metal m1 1/x 0 1\n",
       "s.txt:1: '1/x' is not LAYER/DATATYPE, two whole numbers such as 68/20"},
      {"metal m1 1/0 0 1\nmetal m2 1/0 2 1\n", "s.txt:2: layer 1/0 is already metal m1 of line 1"},
      {"metal m1 1/0 0,5 1\n", "s.txt:1: ZBOTTOM '0,5' is not a decimal number of micrometres"},
      {"metal m1 1/0 0 0\n",
       "s.txt:1: THICKNESS '0' is not a positive decimal number of micrometres"},
      {"metal m1 1/0 0 1\nmetal m2 2/0 0.5 1\n",
       "s.txt:2: metal m2 (z 0.5 to 1.5) overlaps metal m1 (z 0 to 1, line 1)"},
      {"metal m1 1/0 0 1\nvia v1 3/0 m1 m3\n", "s.txt:2: via v1: 'm3' is not a metal of the stack"},
      {"metal m1 1/0 0 1\nmetal m2 2/0 1 1\nvia v1 3/0 m2 m1\n",
       "s.txt:3: via v1: metal m1 begins at 0, not above the top 2 of metal m2"},
      {"metal m1 1/0 0 1\nlabel 5/0 m1\nlabel 5/0 m1\n",
       "s.txt:3: label layer 5/0 is already given on line 2"},
      {"metal m1 1/0 0 1\nlabel 5/0 v1\n", "s.txt:2: label: 'v1' is not a metal of the stack"},
      {"# nothing\n", "s.txt: no metal; a stack needs at least one 'metal' line"},
      {"dielectric ox 1\n", "s.txt:1: dielectric takes NAME ZTOP EPS"},
      {"metal m1 1/0 0 1\ndielectric m1 1 4\n", "s.txt:2: the name m1 is already given on line 1"},
      {"dielectric ox 1 0\n", "s.txt:1: EPS '0' is not a positive decimal number"},
      {"dielectric ox 1e3 4\n", "s.txt:1: ZTOP '1e3' is not a decimal number of micrometres"},
      {"dielectric a 2 4\ndielectric b 2 4\n",
       "s.txt:2: dielectric b ends at z = 2, not above the top 2 of dielectric a (line 1); they go "
       "bottom up"},
  };
  for (const auto& c : cases) {
    Stack stack;
    EXPECT_EQ(c.second, read_stack_text(c.first, stack)) << c.first;
  }
}

TEST(LayoutArguments, OptionsAndTheirFaults) {
  LayoutArguments a;
  ASSERT_EQ("", layout_arguments_from({"--window", "-1,0,2.5,3", "x.oas", "s.txt", "--substrate",
                                       "0", "--cell", "TOP", "--halo", "0.5", "--labels", "top",
                                       "--snap", "0.02", "--cap3d", "x.cap3d"},
                                      a));
  EXPECT_TRUE(a.has_halo);
  EXPECT_EQ(um / 2, a.halo);
  EXPECT_FALSE(a.subcell_labels);
  EXPECT_EQ(um / 50, a.snap);
  EXPECT_EQ("x.cap3d", a.cap3d_file);
  EXPECT_EQ("x.oas", a.layout_file);
  EXPECT_EQ("TOP", a.cell);
  EXPECT_TRUE(a.has_window);
  EXPECT_EQ(-um, a.window[0]);
  EXPECT_EQ(2500000000, a.window[2]);
  EXPECT_TRUE(a.substrate.wanted);
  EXPECT_EQ(0, a.substrate.halo);
  ASSERT_EQ("", layout_arguments_from({"x.gds", "s", "--cells", "A,B", "--output", "d"}, a));
  EXPECT_EQ(std::vector<std::string>({"A", "B"}), a.cells);
  EXPECT_EQ("d", a.output_folder);
  const std::vector<std::pair<std::vector<std::string>, std::string>> cases = {
      {{"x.gds"}, "expected two files, LAYOUT and STACK, got 1."},
      {{"x.gds", "s", "--cell", "A", "--cell", "B"}, "--cell is given twice."},
      {{"x.gds", "s", "--substrate", "-1"},
       "--substrate HALO '-1' is not a decimal number of micrometres, 0 or more."},
      {{"x.gds", "s", "--window", "0,0,1"},
       "--window '0,0,1' is not X1,Y1,X2,Y2 with X1 < X2 and Y1 < Y2."},
      {{"x.gds", "s", "-v"}, "unknown option '-v'."},
      {{"x.gds", "s", "--halo", "1"}, "--halo needs a --window to go around."},
      {{"x.gds", "s", "--labels", "some"}, "--labels takes all or top, not 'some'."},
      {{"x.gds", "s", "--snap", "0"},
       "--snap GRID '0' is not a positive decimal number of micrometres."},
      {{"x.gds", "s", "--cap3d"}, "--cap3d needs a value."},
      {{"x.gds", "s", "--cells", "A,B"}, "--cells and --output go together."},
      {{"x.gds", "s", "--cells", "A", "--output", "d", "--cell", "A"},
       "--cells takes neither --cell nor --cap3d."},
      {{"x.gds", "s", "--cells", "A,,B"},
       "--cells 'A,,B': '' is not a cell name that can name a file."},
      {{"x.gds", "s", "--cells", "A,../B"},
       "--cells 'A,../B': '../B' is not a cell name that can name a file."},
      {{"x.gds", "s", "--cells", "A,B,A"}, "--cells names 'A' twice."},
  };
  for (const auto& c : cases) EXPECT_EQ(c.second, layout_arguments_from(c.first, a));
}

TEST(UnionSurface, CoversExactlyTheExposedUnitFacesOfRandomUnions) {
  // Touching, overlapping, nested and partly abutting boxes on a 6^3 grid, with holes and
  // cavities; the brute force knows nothing of cuts or merging.
  EXPECT_EQ(6u, union_surface({SolidBox{{0, 0, 0}, {1, 2, 3}}}).size());
  std::srand(7);
  for (int trial = 0; trial < 300; ++trial) {
    std::vector<SolidBox> boxes(1 + trial % 5);
    for (SolidBox& b : boxes) {
      for (int a = 0; a < 3; ++a) {
        b.lo[a] = std::rand() % 5;
        b.hi[a] = b.lo[a] + 1 + std::rand() % (6 - b.lo[a]);
      }
    }
    ASSERT_EQ(brute_force_faces(boxes, 6), covered_faces(union_boundary(boxes))) << trial;
  }
}

TEST(LayoutConductors, NamesSameLabelsAndSubstrate) {
  Stack stack;
  ASSERT_EQ("", read_stack_text(kStack, stack));
  LayoutNets nets;
  nets.dbu = um / 1000;
  nets.extent[2] = nets.extent[3] = 4000;
  // Two pieces named "a", an unlabelled net on the via and m2 (named after the via, the first
  // layer in the file it has shapes on), its leftmost point the lower of the two at x = 1.
  nets.nets = {{{label("", "a")}, {{0, {0, 0}, {1000, 1000}}}},
               {{},
                {{2, {0, 2000}, {500, 2500}},
                 {1, {1000, 3000}, {2000, 4000}},
                 {1, {1000, 2000}, {1500, 2500}}}},
               {{label("", "a")}, {{2, {3000, 3000}, {4000, 4000}}}}};
  EXPECT_EQ("v1_x1_y2", unlabelled_net_name(nets.nets[1], stack, nets.dbu));
  std::vector<std::string> notes;
  std::vector<NetName> names = name_nets(nets, stack, notes);
  EXPECT_EQ(std::vector<std::string>{"2 separate nets are named 'a' by their labels: they are one "
                                     "conductor"},
            notes);
  std::vector<NamedNet> named;
  ASSERT_EQ("", named_nets_from(nets, names, stack, SubstrateRequest{}, named));
  ASSERT_EQ(2u, named.size());
  EXPECT_EQ("a", named[0].name);
  EXPECT_EQ(12u, union_surface(named[0].boxes).size());  // two boxes apart, six faces each
  EXPECT_EQ("v1_x1_y2", named[1].name);

  // The substrate's top is z = 0, which m1 (from 0.5) clears; with it at 0 it does not.
  ASSERT_EQ("", named_nets_from(nets, names, stack, SubstrateRequest{true, um / 2}, named));
  ASSERT_EQ("substrate", named[1].name);
  std::ostringstream file;
  write_panel_file(file, {"title", "unit um"}, {named[1]});
  EXPECT_EQ(0u, file.str().find("title\nunit um\nQ substrate "));
  EXPECT_NE(std::string::npos,
            file.str().find("Q substrate  -0.5 -0.5 0  4.5 -0.5 0  4.5 4.5 0  -0.5 4.5 0\n"));
  EXPECT_NE(std::string::npos, file.str().find("  -0.5 -0.5 -1.3  "));
  // The window's nets: a's first box lies in it, the other nets touch it at most.
  const Femtometres window[4] = {0, 0, um, um};
  EXPECT_EQ(std::vector<size_t>{0}, window_nets(named, window));
  ASSERT_EQ("", read_stack_text("metal m1 1/0 0 1", stack));
  nets.nets = {{{label("", "substrate")}, {{0, {0, 0}, {1, 1}}}}};
  names = name_nets(nets, stack, notes);
  EXPECT_EQ("a net is labelled substrate, the name of the --substrate box",
            named_nets_from(nets, names, stack, SubstrateRequest{true, 0}, named));
  nets.nets = {{{label("", "a")}, {{0, {0, 0}, {1, 1}}}}};
  names = name_nets(nets, stack, notes);
  EXPECT_EQ(
      "--substrate: the substrate's top is at z = 0, and metal m1 begins at z = 0, not above it",
      named_nets_from(nets, names, stack, SubstrateRequest{true, 0}, named));
  nets.nets = {{{label("", "m1_x0_y0")}, {{0, {5, 5}, {6, 6}}}}, {{}, {{0, {0, 0}, {1, 1}}}}};
  names = name_nets(nets, stack, notes);
  EXPECT_EQ("two nets are called m1_x0_y0: one has no label and is named after its place",
            named_nets_from(nets, names, stack, SubstrateRequest{}, named));
}

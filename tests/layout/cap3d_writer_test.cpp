// vornax-layout's cap3d files, read back line by line: the window, the dielectric layers, every
// net's blocks against the boxes written, the task.
#include "tools/layout/cap3d_writer.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "structure/structure_file.h"

namespace {

const Femtometres um = kFemtometresPerMicrometre;

/// The conductors of a cap3d file as name -> boxes (x1 y1 z1 x2 y2 z2 in femtometres), from
/// each block's basepoint and its edge vectors, which must lie along x, y and z in turn.
std::map<std::string, std::vector<std::vector<Femtometres>>> conductors_of(
    const std::string& text) {
  std::map<std::string, std::vector<std::vector<Femtometres>>> conductors;
  std::istringstream in(text);
  std::string line, name;
  double v[3];
  for (std::vector<Femtometres>* box = nullptr; std::getline(in, line);) {
    if (line.find("\tname ") == 0) name = line.substr(6);
    const char* keys[4] = {"\t\tbasepoint(%lf,%lf,%lf)", "\t\tv1(%lf,%lf,%lf)",
                           "\t\tv2(%lf,%lf,%lf)", "\t\thvector(%lf,%lf,%lf)"};
    for (int k = 0; k < 4; ++k) {
      if (std::sscanf(line.c_str(), keys[k], &v[0], &v[1], &v[2]) != 3) continue;
      if (k == 0) box = &(conductors[name].emplace_back());
      for (int a = 0; a < 3; ++a) {
        if (k == 0) {
          box->push_back(std::llround(v[a] * um));
        } else {
          EXPECT_EQ(a == k - 1, v[a] != 0) << line;  // quarters: exact in binary
        }
      }
      if (k > 0) box->push_back((*box)[k - 1] + std::llround(v[k - 1] * um));
    }
  }
  return conductors;
}

}  // namespace

TEST(Cap3dWriter, WritesTheWindowLayersBlocksAndTask) {
  Stack stack;
  stack.layers = {StackLayer{"m1", false, {1, 0}, um, 3 * um / 2, 1},
                  StackLayer{"m2", false, {2, 0}, 2 * um, 5 * um / 2, 2}};
  stack.dielectrics = {DielectricLayer{"lower", 7 * um / 4, "3.9", 3},
                       DielectricLayer{"upper", 11 * um / 5, "2.5", 4}};
  std::vector<NamedNet> nets = {
      {"clk",
       {{{0, 0, um}, {um, um, 3 * um / 2}}, {{0, 0, 2 * um}, {um, 3 * um, 5 * um / 2}}},
       {0, 1}},
      {"substrate", {{{-um, -um, -5 * um / 2}, {4 * um, 4 * um, 0}}}, {-1}}};
  Cap3dSource source{"made here", "TOP", {0, 0, 3 * um, 3 * um}, {0}};
  std::ostringstream out;
  ASSERT_EQ("", write_cap3d(out, source, stack, nets));
  const std::string text = out.str();
  // The window reaches round every block; the last layer ends at the window's top.
  EXPECT_EQ(0u, text.find("// made here\n<cap3d>\n<window>\n\tname TOP\n\tv1(-1,-1,-2.5)\n"
                          "\tv2(4,4,2.5)\n</window>\n<plate_medium>\n\tname lower\n\tdiel 3.9\n"
                          "\tz_top 1.75\n</plate_medium>\n<plate_medium>\n\tname upper\n"
                          "\tdiel 2.5\n\tz_top 2.5\n</plate_medium>\n"));
  auto conductors = conductors_of(text.substr(text.find("<conductor>")));
  ASSERT_EQ(2u, conductors.size());
  for (size_t b = 0; b < 2; ++b) {
    const SolidBox& box = nets[0].boxes[b];
    EXPECT_EQ((std::vector<Femtometres>{box.lo[0], box.lo[1], box.lo[2], box.hi[0], box.hi[1],
                                        box.hi[2]}),
              conductors["clk"][b]);
  }
  EXPECT_EQ((std::vector<Femtometres>{-um, -um, -5 * um / 2, 4 * um, 4 * um, 0}),
            conductors["GROUND"][0]);
  EXPECT_NE(std::string::npos, text.find("\t\tlayer 1\n"));  // m2
  EXPECT_NE(std::string::npos, text.find("\t\tlayer 2\n"));  // the substrate after the stack's
  EXPECT_NE(std::string::npos,
            text.find("<task>\n\t<capacitance>\n\t\tclk\n\t</capacitance>\n</task>\n</cap3d>\n"));

  // Read back by vornax-fine's own reader: the nets, their whole surfaces (by hand: 2 + 2 + 0.5 * 4
  // and 3 + 3 + 0.5 * 8 for clk's two boxes, 2 * 25 + 2.5 * 20 for the substrate), the layers.
  FineStructure structure;
  StructureFormat format;
  std::istringstream in(text);
  ASSERT_EQ("", read_structure(in, "t.cap3d", WindowFaces::kOpen, structure, format));
  EXPECT_EQ(StructureFormat::kCap3d, format);
  ASSERT_EQ(2u, structure.conductors.size());
  const double areas[2] = {14, 100};
  for (uint32_t c = 0; c < 2; ++c) {
    EXPECT_EQ(c == 0 ? "clk" : "GROUND", structure.conductors[c].label);
    double area = 0;
    for (uint32_t k = 0; k < structure.panels.size(); ++k) {
      const AxisRect& r = structure.panels[k];
      if (structure.conductor_of_panel[k] == c) area += (r.hi[0] - r.lo[0]) * (r.hi[1] - r.lo[1]);
    }
    EXPECT_EQ(areas[c], area);
  }
  EXPECT_EQ(std::vector<uint32_t>{0}, structure.master_nets);
  EXPECT_EQ("um", structure.length_unit);
  ASSERT_EQ(2u, structure.medium.layers.size());
  EXPECT_EQ(1.75, structure.medium.layers[0].z_top);
  EXPECT_EQ(2.5, structure.medium.layers[1].permittivity);

  // Vacuum without dielectric lines; a dielectric that ends below everything; names a cap3d
  // file would read otherwise.
  stack.dielectrics.clear();
  out.str("");
  ASSERT_EQ("", write_cap3d(out, source, stack, nets));
  EXPECT_NE(std::string::npos,
            out.str().find("<plate_medium>\n\tname vacuum\n\tdiel 1\n\tz_top 2.5\n"));
  stack.dielectrics = {DielectricLayer{"deep", -3 * um, "4", 1}};
  EXPECT_EQ(
      "--cap3d: dielectric deep ends at z = -3, not above the bottom of the structure at "
      "z = -2.5",
      write_cap3d(out, source, stack, nets));
  EXPECT_EQ("", check_cap3d_names(nets));
  nets[0].name = "a__b";
  EXPECT_EQ(
      "--cap3d: the net 'a__b' cannot keep its name in a cap3d file, which reads "
      "PART__NET as a part of NET",
      check_cap3d_names(nets));
  nets[0].name = "GROUND";
  EXPECT_EQ("--cap3d: a net is named GROUND, the name of the substrate in a cap3d file",
            check_cap3d_names(nets));
}

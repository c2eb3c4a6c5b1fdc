// Structure files of either format: recognised by content, the two shared cap3d cases against
// their README and the volume of their blocks, and the grounded window.
#include "structure/structure_file.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <fstream>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "structure/cap3d_reader.h"
#include "structure/panel_file_reader.h"

namespace {

std::string read_whole(const std::string& path) {
  std::ifstream in(path);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

std::string build(const std::string& text, WindowFaces faces, FineStructure& s) {
  std::istringstream in(text);
  StructureFormat format;
  return read_structure(in, "t.cap3d", faces, s, format);
}

/// Volume of a union of boxes on the grid of their coordinates, cell by cell.
double union_volume(const std::vector<SpaceBox>& boxes) {
  std::vector<double> cut[3];
  for (int a = 0; a < 3; ++a) {
    for (const SpaceBox& b : boxes) cut[a].insert(cut[a].end(), {b.lo[a], b.hi[a]});
    std::sort(cut[a].begin(), cut[a].end());
    cut[a].erase(std::unique(cut[a].begin(), cut[a].end()), cut[a].end());
  }
  double volume = 0;
  for (size_t i = 0; i + 1 < cut[0].size(); ++i)
    for (size_t j = 0; j + 1 < cut[1].size(); ++j)
      for (size_t k = 0; k + 1 < cut[2].size(); ++k) {
        const double mid[3] = {(cut[0][i] + cut[0][i + 1]) / 2, (cut[1][j] + cut[1][j + 1]) / 2,
                               (cut[2][k] + cut[2][k + 1]) / 2};
        bool in = false;
        for (const SpaceBox& b : boxes) {
          in = in || (b.lo[0] < mid[0] && mid[0] < b.hi[0] && b.lo[1] < mid[1] &&
                      mid[1] < b.hi[1] && b.lo[2] < mid[2] && mid[2] < b.hi[2]);
        }
        if (in)
          volume += (cut[0][i + 1] - cut[0][i]) * (cut[1][j + 1] - cut[1][j]) *
                    (cut[2][k + 1] - cut[2][k]);
      }
  return volume;
}

/// Checks a shared case against the counts of its README, each net's panels against the volume
/// of its blocks (by the divergence theorem, flux of (x, 0, 0) through the outward panels), and
/// every permittivity against the file's.
void check_shared_case(const std::string& name, size_t nets, size_t sections, size_t layers,
                       size_t blocks, const std::vector<std::string>& masters) {
  const std::string text = read_whole(VORNAX_TEST_DATA "/cap3d/" + name + ".cap3d");
  ASSERT_FALSE(text.empty()) << name;
  EXPECT_EQ(StructureFormat::kCap3d, structure_format_of(text));
  std::istringstream in(text);
  Cap3dFile file;
  ASSERT_EQ("", read_cap3d(in, name, file));
  EXPECT_EQ(sections, file.conductors.size());
  FineStructure s;
  ASSERT_EQ("", build(text, WindowFaces::kOpen, s));
  EXPECT_EQ(nets, s.conductors.size());
  EXPECT_EQ(layers, s.medium.layers.size());
  EXPECT_EQ(blocks, s.medium.blocks.size());
  std::vector<std::string> asked;
  for (uint32_t m : s.master_nets) asked.push_back(s.conductors[m].label);
  EXPECT_EQ(masters, asked);

  std::set<double> permittivities;
  for (const PlanarLayer& l : s.medium.layers) permittivities.insert(l.permittivity);
  for (const DielectricBlock& b : s.medium.blocks) permittivities.insert(b.permittivity);
  for (size_t n = 0; n < s.conductors.size(); ++n) {
    std::vector<SpaceBox> boxes;
    for (const Cap3dConductor& c : file.conductors) {
      const size_t mark = c.name.find("__");
      const std::string net = mark == std::string::npos ? c.name : c.name.substr(mark + 2);
      if (net != s.conductors[n].label) continue;
      for (const Cap3dBlock& b : c.blocks) {
        SpaceBox box;
        for (int a = 0; a < 3; ++a) box.lo[a] = b.box.lo[a] / 1e9, box.hi[a] = b.box.hi[a] / 1e9;
        boxes.push_back(box);
      }
    }
    double flux = 0;
    for (uint32_t k = s.conductors[n].first_panel;
         k < s.conductors[n].first_panel + s.conductors[n].panel_count; ++k) {
      const AxisRect& r = s.panels[k];
      EXPECT_EQ(n, s.conductor_of_panel[k]);
      EXPECT_EQ(1u, permittivities.count(s.panel_sides[k].permittivity));
      if (r.axis == 0)
        flux += s.panel_sides[k].outward * r.plane * (r.hi[0] - r.lo[0]) * (r.hi[1] - r.lo[1]);
    }
    const double volume = union_volume(boxes);
    EXPECT_NEAR(volume, flux, 1e-9 * volume) << name << " net " << s.conductors[n].label;
  }
  for (const DielectricPiece& p : s.medium.pieces) {
    const double c = (p.background_below + p.background_above) *
                     (p.real_below / p.background_below - p.real_above / p.background_above);
    EXPECT_GT(std::fabs(c), 1e-9);
    EXPECT_EQ(1u, permittivities.count(p.real_below) * permittivities.count(p.real_above));
  }
}

const char kBox[] =
    "<cap3d>\n<window>\n v1(0,0,-1)\n v2(10,10,5)\n</window>\n"
    "<plate_medium>\n diel 11.8\n z_top 0\n</plate_medium>\n"
    "<plate_medium>\n diel 3.9\n z_top 2\n</plate_medium>\n"
    "<plate_medium>\n diel 2.5\n z_top 5\n</plate_medium>\n"
    "<conductor>\n name SUB\n <block>\n basepoint(0,0,-1)\n v1(10,0,0)\n v2(0,10,0)\n"
    " hvector(0,0,1)\n </block>\n</conductor>\n"
    "<conductor>\n name w\n <block>\n basepoint(0,4,1)\n v1(3,0,0)\n v2(0,2,0)\n"
    " hvector(0,0,2)\n </block>\n</conductor>\n</cap3d>\n";

double area(const AxisRect& r) { return (r.hi[0] - r.lo[0]) * (r.hi[1] - r.lo[1]); }

}  // namespace

TEST(StructureFile, RecognisesCap3dByItsFirstLineAfterComments) {
  EXPECT_EQ(StructureFormat::kCap3d, structure_format_of("// made by x\n\n  <cap3d>  \r\n"));
  EXPECT_EQ(StructureFormat::kCap3d, structure_format_of("\xEF\xBB\xBF<cap3d>"));
  EXPECT_EQ(StructureFormat::kPanelFile, structure_format_of("title\n<cap3d>\n"));
  EXPECT_EQ(StructureFormat::kPanelFile, structure_format_of("// only a comment\n"));
  EXPECT_EQ(StructureFormat::kPanelFile, structure_format_of("<cap3d> x\n"));
  // A panel file reads as before, in a uniform medium.
  const std::string cube = read_whole(VORNAX_TEST_DATA "/cube.panels");
  std::istringstream a(cube), b(cube);
  FineStructure direct, through;
  ASSERT_EQ("", read_fine_structure(a, "cube", direct));
  StructureFormat format;
  ASSERT_EQ("", read_structure(b, "cube", WindowFaces::kGrounded, through, format));
  EXPECT_EQ(StructureFormat::kPanelFile, format);
  EXPECT_EQ(direct.panels.size(), through.panels.size());
  EXPECT_TRUE(through.medium.layers.empty() && !through.medium.has_window);
  ASSERT_EQ(6u, through.panel_sides.size());
  EXPECT_EQ(0, through.panel_sides[5].outward);
  EXPECT_EQ(1.0, through.panel_sides[5].permittivity);
}

TEST(StructureFile, TheSharedCasesHaveTheCountsOfTheirReadme) {
  check_shared_case("lines24", 6, 24, 50, 42, {"NoLayerALRDLM4"});
  check_shared_case("cell12", 8, 12, 57, 244, {"1"});
}

TEST(StructureFile, AGroundedWindowIsANetOfItsSidesAndTopCutByLayer) {
  FineStructure open, grounded;
  ASSERT_EQ("", build(kBox, WindowFaces::kOpen, open));
  ASSERT_EQ("", build(kBox, WindowFaces::kGrounded, grounded));
  ASSERT_EQ((std::vector<std::string>{"SUB", "w"}),
            (std::vector<std::string>{open.conductors[0].label, open.conductors[1].label}));
  ASSERT_EQ(3u, grounded.conductors.size());
  const FineConductor& window = grounded.conductors[2];
  EXPECT_EQ("window", window.label);
  // Four sides in the two layers above the substrate, and the top: 9 rectangles, but the wire
  // touches the side x = 0 over y 4..6, z 1..3, which leaves it 3 in each layer: 13. The
  // substrate loses its four sides to the walls, the wire its side x = 0 (in two layers).
  EXPECT_EQ(13u, window.panel_count);
  double wall_area = 0;
  for (uint32_t k = window.first_panel; k < window.first_panel + window.panel_count; ++k) {
    wall_area += area(grounded.panels[k]);
    // The sides from z = 0 to 2 face the layer of 3.9, the rest and the top that of 2.5.
    const AxisRect& r = grounded.panels[k];
    const double lowest_z = r.axis == 2 ? r.plane : r.lo[r.axis == 0 ? 1 : 0];
    EXPECT_EQ(lowest_z < 2 ? 3.9 : 2.5, grounded.panel_sides[k].permittivity);
  }
  EXPECT_DOUBLE_EQ(4 * 10 * 5 + 100 - 4, wall_area);
  EXPECT_EQ(open.conductors[0].panel_count - 4, grounded.conductors[0].panel_count);
  EXPECT_EQ(open.conductors[1].panel_count - 2, grounded.conductors[1].panel_count);

  // With a net GROUND the walls join it; a net named window then is only a net.
  auto variant = [](const std::string& from, const std::string& to) {
    std::string text = kBox;
    return text.replace(text.find(from), from.size(), to);
  };
  FineStructure joined;
  ASSERT_EQ("", build(variant("name SUB", "name GROUND"), WindowFaces::kGrounded, joined));
  ASSERT_EQ(2u, joined.conductors.size());
  EXPECT_EQ(open.conductors[0].panel_count - 4 + 13, joined.conductors[0].panel_count);
  EXPECT_EQ(
      "t.cap3d:20: a net is named 'window', the name of the grounded window's net where there is "
      "no net GROUND (--window ground)",
      build(variant("name SUB", "name window"), WindowFaces::kGrounded, joined));
  const std::string outside = variant("basepoint(0,4,1)", "basepoint(-1,4,1)");
  EXPECT_EQ(
      "t.cap3d:29: a block of net 'w' reaches outside the window, whose sides and top are "
      "grounded (--window ground)",
      build(outside, WindowFaces::kGrounded, joined));
  EXPECT_EQ("", build(outside, WindowFaces::kOpen, joined));
}

// The cap3d reader and the structure built from it: every kind of fault with its exact message,
// nets from conductor names, the two shared files against their README, the grounded window.
#include "structure/cap3d_reader.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "structure/cap3d_nets.h"
#include "structure/structure_file.h"

namespace {

const char kStack[] =
    "<window>\n name w\n v1(0,0,-0.1)\n v2(10,10,5)\n</window>\n"
    "<plate_medium>\n diel 1\n z_top 0\n</plate_medium>\n"
    "<plate_medium>\n diel 3.9\n z_top 5\n</plate_medium>\n";

std::string block(const std::string& base, const std::string& size) {
  std::istringstream in(size);
  std::string x, y, z;
  std::getline(in, x, ',');
  std::getline(in, y, ',');
  std::getline(in, z, ',');
  return " <block>\n  basepoint(" + base + ")\n  v1(" + x + ",0,0)\n  v2(0," + y +
         ",0)\n  hvector(0,0," + z + ")\n </block>\n";
}

std::string conductor(const std::string& name, const std::string& blocks) {
  return "<conductor>\n name " + name + "\n" + blocks + "</conductor>\n";
}

/// Reads `text` and builds its structure: "" or the message.
std::string build(const std::string& text, FineStructure& s,
                  WindowFaces faces = WindowFaces::kOpen) {
  std::istringstream in(text);
  StructureFormat format;
  std::string error = read_structure(in, "t.cap3d", faces, s, format);
  EXPECT_EQ(StructureFormat::kCap3d, format);
  return error;
}

std::string build(const std::string& text, WindowFaces faces = WindowFaces::kOpen) {
  FineStructure s;
  return build(text, s, faces);
}

std::vector<std::string> labels(const FineStructure& s) {
  std::vector<std::string> names;
  for (const FineConductor& c : s.conductors) names.push_back(c.label);
  return names;
}

/// Each text read and, if it reads, built: the message must be the one given.
void check_faults(const std::vector<std::pair<std::string, std::string>>& cases) {
  for (const auto& c : cases) {
    std::istringstream in(c.first);
    Cap3dFile file;
    std::string error = read_cap3d(in, "t.cap3d", file);
    if (error.empty()) error = build(c.first);
    EXPECT_EQ(c.second, error) << c.first;
  }
}

}  // namespace

TEST(Cap3dReader, ReadsSectionsInAnyOrderWithCommentsAndSkipsWhatItNeedNot) {
  const std::string text =
      "// written by hand\n\n<cap3d>\n<task>\n <capacitance>\n  b\n  a\n </capacitance>\n</task>\n"
      "<layer>\n name M1\n id 3\n type interconnect\n wmin 0.02\n</layer>\n" +
      conductor("1__a", block("1,1,1", "1,1,1")) + std::string(kStack) + "<medium>\n name liner\n" +
      block("0.5,0.5,0.5", "2,2,2") + " diel 7\n</medium>\n" +
      "<parameter>\n c-ratio 0.95\n <anything>\n</parameter>\n" +
      conductor("b", block("5,5,1", "1,1,1.5")) + conductor("2__a", block("2,1,1", "1,1,1")) +
      "   </cap3d>  \r\n// end\n";
  FineStructure s;
  ASSERT_EQ("", build(text, s));
  EXPECT_EQ((std::vector<std::string>{"a", "b"}), labels(s));
  EXPECT_EQ((std::vector<uint32_t>{1, 0}), s.master_nets);
  // Net a is the 2 x 1 x 1 union of its two parts, net b a box cut at z = 0: 10 and 10 panels.
  EXPECT_EQ(10u, s.conductors[0].panel_count);
  ASSERT_EQ(2u, s.medium.layers.size());
  EXPECT_EQ(3.9, s.medium.layers[1].permittivity);
  ASSERT_EQ(1u, s.medium.blocks.size());
  EXPECT_EQ(7, s.medium.blocks[0].permittivity);
  EXPECT_EQ("um", s.length_unit);
  EXPECT_TRUE(s.medium.has_window && !s.medium.window_grounded);
  EXPECT_EQ(-0.1, s.medium.window.lo[2]);
}

TEST(Cap3dReader, NetNamesJoinPartsAtTheFirstDoubleUnderscore) {
  EXPECT_EQ("signalGND", net_of_conductor("7__signalGND"));
  EXPECT_EQ("a__b", net_of_conductor("3__a__b"));
  EXPECT_EQ("__a", net_of_conductor("__a"));
  EXPECT_EQ("a__", net_of_conductor("a__"));
  EXPECT_EQ("a_b", net_of_conductor("a_b"));
  FineStructure s;
  ASSERT_EQ("", build("<cap3d>\n" + std::string(kStack) + conductor("x", block("8,8,1", "1,1,1")) +
                          conductor("1__y", block("1,1,1", "1,1,1")) +
                          conductor("2__x", block("5,5,1", "1,1,1")) +
                          conductor("y", block("3,3,1", "1,1,1")) + "</cap3d>\n",
                      s));
  EXPECT_EQ((std::vector<std::string>{"x", "y"}), labels(s));
  // Two cubes apart each, six faces a cube.
  EXPECT_EQ(12u, s.conductors[0].panel_count);
  EXPECT_EQ(12u, s.conductors[1].panel_count);
  EXPECT_TRUE(s.master_nets.empty());
}

TEST(Cap3dReader, EachFaultOfASectionIsOneLineNamingTheLine) {
  const std::string head = "<cap3d>\n" + std::string(kStack);  // lines 1 to 14
  check_faults({
      {"title\n<cap3d>\n",
       "t.cap3d:1: a cap3d file begins with <cap3d>, after any blank and // lines"},
      {head + "<foo>\n", "t.cap3d:15: unknown section <foo>"},
      {head + "name x\n", "t.cap3d:15: 'name' outside every section"},
      {head + "<conductor>\n name w\n <block>\n  basepoint(0,0,0)\n  color red\n",
       "t.cap3d:19: unknown key 'color' in <block>"},
      {head + "<medium>\n diel 2\n diel 3\n",
       "t.cap3d:17: a second diel in <medium>; the first is on line 16"},
      {head + "<conductor>\n name w\n <block>\n  v1(1,2)\n",
       "t.cap3d:18: v1 '(1,2)' is not (X,Y,Z), three decimal numbers of micrometres, each at most "
       "1e8 in size and to nine places"},
      {head + "<conductor>\n name w\n <block>\n  v1(0.0000000001,0,0)\n",
       "t.cap3d:18: v1 '(0.0000000001,0,0)' is not (X,Y,Z), three decimal numbers of micrometres, "
       "each at most 1e8 in size and to nine places"},
      {head + "<medium>\n diel -2\n",
       "t.cap3d:16: diel '-2' is not a positive relative permittivity"},
      {head + conductor("w", block("1,1,1", "1,1,0")),
       "t.cap3d:17: block of conductor 'w': hvector has length 0; it is no box along the axes"},
      {head + "<conductor>\n name w\n <block>\n basepoint(0,0,0)\n v1(1,1,0)\n v2(0,1,0)\n"
              " hvector(0,0,1)\n </block>\n",
       "t.cap3d:17: block of conductor 'w': v1 does not run along x, y or z; it is no box along "
       "the axes"},
      {head + "<medium>\n <block>\n basepoint(0,0,0)\n v1(1,0,0)\n v2(-2,0,0)\n hvector(0,0,1)\n"
              " </block>\n",
       "t.cap3d:16: block of medium: v2 runs along x as another edge does; it is no box along the "
       "axes"},
      {head + "<conductor>\n name w\n <block>\n basepoint(0,0,0)\n v1(1,0,0)\n v2(0,1,0)\n"
              " </block>\n",
       "t.cap3d:17: block of conductor 'w': no hvector"},
      {head + "<medium>\n" + block("0,0,0", "1,1,1") + "</medium>\n",
       "t.cap3d:15: the medium has no diel"},
      {head + "<conductor>\n" + block("0,0,0", "1,1,1") + "</conductor>\n",
       "t.cap3d:15: the conductor has no name"},
      {head + "<conductor>\n name w\n</conductor>\n", "t.cap3d:15: the conductor has no <block>"},
      {head + "<medium>\n diel 2\n",
       "t.cap3d:16: the file ends inside <medium>, opened on line 15"},
      {head + "<medium>\n </block>\n", "t.cap3d:16: '</block>' inside <medium>, opened on line 15"},
      {head + "<medium>\n <task>\n", "t.cap3d:16: <task> inside <medium>, opened on line 15"},
  });
}

TEST(Cap3dReader, EachFaultOfTheWholeIsOneLineNamingTheLine) {
  const std::string head = "<cap3d>\n" + std::string(kStack);        // lines 1 to 14
  const std::string wire = conductor("w", block("1,1,1", "1,1,1"));  // lines 15 to 23
  check_faults({
      {head + wire + "</cap3d>\nmore\n", "t.cap3d:25: 'more' after </cap3d>"},
      {"<cap3d>\n" + wire + "</cap3d>\n", "t.cap3d:11: the file has no <window>"},
      {head + "</cap3d>\n", "t.cap3d:15: the file has no <conductor>"},
      {head + "<window>\n", "t.cap3d:15: a second <window>; the first is on line 2"},
      {"<cap3d>\n<window>\n v1(0,0,0)\n v2(1,1,0)\n</window>\n",
       "t.cap3d:2: the window has no volume: v1 and v2 have the same z"},
      {"<cap3d>\n<window>\n v1(0,0,0)\n</window>\n", "t.cap3d:2: the window has no v2"},
      {head + "<plate_medium>\n diel 2\n z_top 4\n</plate_medium>\n" + wire + "</cap3d>\n",
       "t.cap3d:15: the plate_medium's z_top 4 is not above the z_top 5 of the one before it, on "
       "line 11"},
      {head + "<plate_medium>\n diel 2\n</plate_medium>\n",
       "t.cap3d:15: the plate_medium has no z_top"},
      {head + "<task>\n <capacitance>\n  a b\n",
       "t.cap3d:17: 'a b' inside <capacitance>, opened on "
       "line 16, which lists one net name a line"},
      {head + wire + "<task>\n <capacitance>\n  v\n </capacitance>\n</task>\n</cap3d>\n",
       "t.cap3d:26: the task asks for net 'v', which no conductor of the file forms"},
      {head + wire + "<task>\n <capacitance>\n  w\n  w\n </capacitance>\n</task>\n</cap3d>\n",
       "t.cap3d:27: the task asks for net 'w' a second time; the first is on line 26"},
      {head + wire + conductor("v", block("2,1,1", "1,1,1")) + "</cap3d>\n",
       "t.cap3d:26: a block of net 'v' touches the block of net 'w' on line 17; blocks of "
       "different nets may not meet"},
      {head + wire + conductor("1__v", block("1.5,1.5,1.5", "1,1,1")) + "</cap3d>\n",
       "t.cap3d:26: a block of net 'v' overlaps the block of net 'w' on line 17; blocks of "
       "different nets may not meet"},
  });
}

TEST(Cap3dNets, TheFirstContactOfTwoNetsIsThatOfEveryPair) {
  // Random blocks on a coarse grid, so that nets touch, overlap or stay apart; the index must
  // name the block that a search of every earlier block names first.
  std::mt19937 random(23);
  for (int trial = 0; trial < 300; ++trial) {
    Cap3dFile file;
    for (int k = 0; k < 2 + trial % 12; ++k) {
      Cap3dBlock b{SolidBox{}, static_cast<uint32_t>(10 + k), "", ""};
      for (int a = 0; a < 3; ++a) {
        b.box.lo[a] = random() % 9 * 1000;
        b.box.hi[a] = b.box.lo[a] + (1 + random() % 3) * 1000;
      }
      file.conductors.push_back(Cap3dConductor{"n" + std::to_string(random() % 4), 1, {b}});
    }
    std::string expected;
    for (size_t k = 0; k < file.conductors.size() && expected.empty(); ++k) {
      for (size_t m = 0; m < k && expected.empty(); ++m) {
        const SolidBox &a = file.conductors[k].blocks[0].box, &b = file.conductors[m].blocks[0].box;
        bool meet = file.conductors[k].name != file.conductors[m].name;
        for (int x = 0; x < 3; ++x) meet = meet && a.lo[x] <= b.hi[x] && b.lo[x] <= a.hi[x];
        if (meet) expected = std::to_string(10 + k) + " " + std::to_string(10 + m);
      }
    }
    Cap3dNets nets;
    const std::string error = gather_nets(file, "t.cap3d", nets);
    // The lines of the two blocks the message names: "t.cap3d:K: ... on line M; ...".
    std::string named;
    if (!error.empty()) {
      const size_t on = error.find("on line ") + 8;
      named = error.substr(8, error.find(':', 8) - 8) + " " +
              error.substr(on, error.find(';', on) - on);
    }
    EXPECT_EQ(expected, named) << trial;
  }
}

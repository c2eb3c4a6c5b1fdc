// vornax-layout's choice of names among the labels of a net, and snapping to a grid.
#include "tools/layout/net_names.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "tools/layout/grid_snap.h"
#include "tools/layout/layout_conductors.h"

namespace {

const Femtometres um = kFemtometresPerMicrometre;

/// A label at (0, 0) in the cell below the instances of `path` ("A[1]/B[2]/" or "").
NetLabel named(const std::string& path, const std::string& text) {
  NetLabel l;
  l.depth = static_cast<int32_t>(std::count(path.begin(), path.end(), '/'));
  l.name = path + text;
  l.text_from = path.size();
  return l;
}

Stack one_metal() {
  Stack stack;
  stack.layers.push_back(StackLayer{"m1", false, {1, 0}, um, 2 * um, 1});
  return stack;
}

}  // namespace

TEST(NetNames, TheCellsOwnLabelsFirstThenTheShortestPathThenTheText) {
  std::vector<NetLabel> labels = {named("X[2]/Y[1]/", "a"), named("Z[1]/", "c"),
                                  named("Z[3]/", "b"), named("W[9]/", "b")};
  EXPECT_EQ("W[9]/b", naming_label(labels).name);  // shorter than X[2]/Y[1]/, b before c
  labels.push_back(named("", "zz"));
  EXPECT_EQ("zz", naming_label(labels).name);  // the cell's own label, whatever its text

  LayoutNets nets;
  nets.dbu = um / 1000;
  nets.nets = {{labels, {{0, {0, 0}, {1, 1}}}}, {{}, {{0, {-500, 7}, {0, 9}}}}};
  for (int k = 0; k < 6; ++k) nets.nets[0].labels.push_back(named("Z[1]/", "c"));  // repeated
  for (int k = 0; k < 6; ++k)
    nets.nets[0].labels.push_back(named("V[1]/", std::string(1, 'p' + k)));
  std::vector<std::string> notes;
  std::vector<NetName> names = name_nets(nets, one_metal(), notes);
  ASSERT_EQ(2u, names.size());
  EXPECT_EQ("zz", names[0].name);
  EXPECT_TRUE(names[0].from_label);
  EXPECT_EQ("m1_x-0.5_y0.007", names[1].name);
  EXPECT_FALSE(names[1].from_label);
  // Each other label once, in order, at most eight.
  EXPECT_EQ(std::vector<std::string>{"the net named 'zz' also carries the labels 'V[1]/p', "
                                     "'V[1]/q', 'V[1]/r', 'V[1]/s', 'V[1]/t', 'V[1]/u', 'W[9]/b', "
                                     "'X[2]/Y[1]/a' and 2 more"},
            notes);
}

TEST(GridSnap, SmallOffsetsGoAndNetsThatWouldTouchAreRefused) {
  LayoutNets nets;
  nets.dbu = um / 1000;
  nets.extent[0] = nets.extent[1] = -100;
  nets.extent[2] = 95;
  nets.extent[3] = 100;
  nets.nets = {
      // Halves away from zero: -50 to -60 and 50 to 60; the sliver from 50 to 59 vanishes.
      {{}, {{0, {-50, 0}, {50, 40}}, {0, {50, 0}, {59, 40}}}},
      // A via enclosed by 5 becomes flush with the metal; the edge at 95 stays in the extent.
      {{}, {{1, {-25, 5}, {25, 35}}, {0, {70, -100}, {95, -80}}}},
      // Every box narrower than half the grid: the net goes.
      {{}, {{0, {0, 80}, {8, 95}}}}};
  std::vector<NetName> names = {{"a", true}, {"b", true}, {"c", true}};
  std::vector<std::string> notes;
  snap_to_grid(nets, names, 20, notes);
  ASSERT_EQ(2u, nets.nets.size());
  ASSERT_EQ(1u, nets.nets[0].boxes.size());
  const NetBox& a = nets.nets[0].boxes[0];
  EXPECT_EQ((std::vector<int64_t>{-60, 0, 60, 40}),
            (std::vector<int64_t>{a.lo[0], a.lo[1], a.hi[0], a.hi[1]}));
  const NetBox& via = nets.nets[1].boxes[0];
  EXPECT_EQ((std::vector<int64_t>{-20, 0, 20, 40}),
            (std::vector<int64_t>{via.lo[0], via.lo[1], via.hi[0], via.hi[1]}));
  ASSERT_EQ(2u, nets.nets[1].boxes.size());
  EXPECT_EQ(95, nets.nets[1].boxes[1].hi[0]);
  EXPECT_EQ(-100, nets.nets[1].boxes[1].lo[1]);
  EXPECT_EQ((std::vector<std::string>{"--snap: every shape of the net 'c' is narrower than half "
                                      "the grid, and the net is left out"}),
            notes);
  ASSERT_EQ(2u, names.size());
  EXPECT_EQ("b", names[1].name);

  // Boxes in space that touch at one corner, and then apart by the least step.
  std::vector<NamedNet> touching = {{"p", {{{0, 0, 0}, {um, um, um}}}, {0}},
                                    {"q", {{{um, um, um}, {2 * um, 2 * um, 2 * um}}}, {0}}};
  EXPECT_EQ(
      "--snap: the nets 'p' and 'q' touch once snapped to the grid, at (1, 1, 1) um; "
      "choose a finer grid",
      check_nets_apart(touching));
  touching[1].boxes[0].lo[2] += 1;
  EXPECT_EQ("", check_nets_apart(touching));
}

#include <gtest/gtest.h>

#include <cmath>
#include <map>
#include <utility>
#include <vector>

#include "model/capacitance_extractor.h"

namespace {

/// An input panel with the given corners, stored at the next position.
void add_input_panel(CapacitanceExtractor& extractor, Point3 v1, Point3 v2, Point3 v3, Point3 v4) {
  Panel panel;
  panel.conductor = 1;
  panel.vertices[0] = v1;
  panel.vertices[1] = v2;
  panel.vertices[2] = v3;
  panel.vertices[3] = v4;
  panel.compute_centre();
  panel.compute_area();
  int32_t position = static_cast<int32_t>(extractor.panel_count);
  panel.index = position;
  panel.root_index = position;
  panel.child_kind = kInputPanel;
  panel.is_split = false;
  extractor.panels.append(panel);
  extractor.panel_count += 1;
  extractor.input_panel_count = extractor.panel_count;
}

void add_unit_square(CapacitanceExtractor& extractor, double z) {
  add_input_panel(extractor, {0, 0, z}, {1, 0, z}, {1, 1, z}, {0, 1, z});
}

struct Expected {
  int32_t i;
  int32_t j;
  double p;
};

void expect_entries(const std::vector<Expected>& expected,
                    const std::vector<InteractionEntry>& actual, std::size_t from) {
  ASSERT_EQ(expected.size(), actual.size() - from);
  for (std::size_t k = 0; k < expected.size(); ++k) {
    SCOPED_TRACE(k);
    EXPECT_EQ(expected[k].i, actual[from + k].panel_i);
    EXPECT_EQ(expected[k].j, actual[from + k].panel_j);
    EXPECT_EQ(expected[k].p, actual[from + k].p_ij);
  }
}

// Exact doubles of the worked case: 1 / 0.5, 1 / sqrt(0.5), 1 / 0.75, 3.53 / sqrt(0.25).
const double kTwo = 2.0;
const double kRoot2 = 1.0 / std::sqrt(0.5);
const double kFourThirds = 1.0 / 0.75;
const double kQuarterSelf = 3.53 / 0.5;

}  // namespace

TEST(PotentialEstimation, SelfTermAndPointCharge) {
  CapacitanceExtractor extractor;
  add_input_panel(extractor, {0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {0, 1, 0});
  add_input_panel(extractor, {0, 0, 0}, {2, 0, 0}, {2, 2, 0}, {0, 2, 0});
  const PanelVector& panels = extractor.panels;
  EXPECT_EQ(3.53, extractor.PotentialEstimation(panels[0], panels[0]));
  EXPECT_EQ(1.765, extractor.PotentialEstimation(panels[1], panels[1]));
  // Centres 2.0 apart, whatever the sizes.
  Panel moved = panels[1];
  moved.index = 9;
  moved.centre = Point3{1, 1, 2};
  EXPECT_EQ(0.5, extractor.PotentialEstimation(panels[1], moved));
  EXPECT_EQ(0.5, extractor.PotentialEstimation(moved, panels[1]));

  EXPECT_FALSE(extractor.failure.occurred());

  // Identity is the position, not the geometry: a copy at another position
  // with the same centre is a coincident pair.
  Panel twin = panels[0];
  twin.index = 5;
  EXPECT_EQ(0.0, extractor.PotentialEstimation(panels[0], twin));
  EXPECT_EQ("\nPotentialEstimation is wrong (r=0)!", extractor.failure.message);
}

TEST(PairRefinement, WorkedCaseOfTwoParallelSquares) {
  CapacitanceExtractor extractor;
  add_unit_square(extractor, 0.0);
  add_unit_square(extractor, 0.5);
  ASSERT_TRUE(extractor.refine_all_pairs());

  // Subdivisions in order: 1, 2, 0, 6, 3, 7.
  const int32_t parents[14] = {-1, -1, 1, 1, 2, 2, 0, 0, 6, 6, 3, 3, 7, 7};
  ASSERT_EQ(14u, extractor.panel_count);
  ASSERT_EQ(14u, extractor.panels.size());
  for (int32_t k = 0; k < 14; ++k) {
    SCOPED_TRACE(k);
    const Panel& panel = extractor.panels[k];
    EXPECT_EQ(k, panel.index);
    EXPECT_EQ(parents[k], panel.parent);
    EXPECT_EQ(k < 2 ? k : (k == 2 || k == 3 || k == 4 || k == 5 || k == 10 || k == 11 ? 1 : 0),
              panel.root_index);
    if (k >= 2) {
      EXPECT_EQ(k % 2 == 0 ? 2 : 1, panel.child_kind);
    }
  }
  EXPECT_EQ(4, extractor.panels[2].first_child);
  EXPECT_FALSE(extractor.panels[4].is_split);

  expect_entries({{8, 4, kTwo},
                  {9, 4, kRoot2},
                  {7, 4, kFourThirds},
                  {8, 5, kRoot2},
                  {9, 5, kTwo},
                  {7, 5, kFourThirds},
                  {6, 10, kFourThirds},
                  {12, 10, kTwo},
                  {13, 10, kRoot2},
                  {6, 11, kFourThirds},
                  {12, 11, kRoot2},
                  {13, 11, kTwo}},
                 extractor.interaction_list, 0);

  extractor.number_unknowns();
  EXPECT_EQ(std::vector<int32_t>({4, 5, 8, 9, 10, 11, 12, 13}), extractor.leaf_list);
  EXPECT_EQ(8, extractor.unknown_count);
  const int32_t with_unknown[8] = {0, 1, 2, 4, 6, 8, 10, 12};
  for (int32_t k = 0; k < 8; ++k) EXPECT_EQ(k, extractor.panels[with_unknown[k]].unknown_number);

  ASSERT_TRUE(extractor.add_same_origin_pairs());
  expect_entries({{4, 4, kQuarterSelf}, {4, 5, kTwo},           {4, 10, kTwo},
                  {4, 11, kRoot2},      {5, 5, kQuarterSelf},   {5, 10, kRoot2},
                  {5, 11, kTwo},        {8, 8, kQuarterSelf},   {8, 9, kTwo},
                  {8, 12, kTwo},        {8, 13, kRoot2},        {9, 9, kQuarterSelf},
                  {9, 12, kRoot2},      {9, 13, kTwo},          {10, 10, kQuarterSelf},
                  {10, 11, kTwo},       {11, 11, kQuarterSelf}, {12, 12, kQuarterSelf},
                  {12, 13, kTwo},       {13, 13, kQuarterSelf}},
                 extractor.interaction_list, 12);
}

TEST(PairRefinement, AcceptanceThresholds) {
  // Size 1, centres 10 apart: accepted at once with p = 0.1.
  CapacitanceExtractor far;
  add_unit_square(far, 0.0);
  add_unit_square(far, 10.0);
  ASSERT_TRUE(far.refine_all_pairs());
  EXPECT_EQ(2u, far.panel_count);
  expect_entries({{0, 1, 1 / 10.0}}, far.interaction_list, 0);

  // Size 1.5 at distance 1: Ri * p is exactly 1.5, which is not accepted; the
  // second panel is split (equal sizes).
  CapacitanceExtractor boundary;
  add_input_panel(boundary, {0, 0, 0}, {1.5, 0, 0}, {1.5, 1.5, 0}, {0, 1.5, 0});
  add_input_panel(boundary, {0, 0, 1}, {1.5, 0, 1}, {1.5, 1.5, 1}, {0, 1.5, 1});
  ASSERT_TRUE(boundary.refine_pair(0, 1));
  EXPECT_TRUE(boundary.panels[1].is_split);
  EXPECT_FALSE(boundary.panels[0].is_split);
  EXPECT_EQ(0, boundary.interaction_list.front().panel_i);

  // Two panels of size 0.5 are accepted however close their centres are.
  CapacitanceExtractor small;
  add_input_panel(small, {0, 0, 0}, {0.5, 0, 0}, {0.5, 0.5, 0}, {0, 0.5, 0});
  add_input_panel(small, {0, 0, 1e-9}, {0.5, 0, 1e-9}, {0.5, 0.5, 1e-9}, {0, 0.5, 1e-9});
  ASSERT_TRUE(small.refine_all_pairs());
  EXPECT_EQ(2u, small.panel_count);
  EXPECT_EQ(1u, small.interaction_list.size());

  // Three panels are visited as (0, 1), (0, 2), (1, 2).
  CapacitanceExtractor three;
  for (double z : {0.0, 10.0, 30.0}) add_unit_square(three, z);
  ASSERT_TRUE(three.refine_all_pairs());
  expect_entries({{0, 1, 1 / 10.0}, {0, 2, 1 / 30.0}, {1, 2, 1 / 20.0}}, three.interaction_list, 0);
}

TEST(PairRefinement, DegeneratePanels) {
  CapacitanceExtractor single;
  add_input_panel(single, {0, 0, 0}, {0, 0, 0}, {0, 0, 0}, {0, 0, 0});
  ASSERT_TRUE(single.refine_all_pairs());
  EXPECT_TRUE(single.interaction_list.empty());

  // The refinement stops at the first failure: (0, 1) is accepted, (0, 2) fails, and (1, 2) is
  // never refined.
  CapacitanceExtractor pair;
  add_unit_square(pair, 0.0);
  add_unit_square(pair, 10.0);
  add_input_panel(pair, {0, 0, 3}, {0, 0, 3}, {0, 0, 3}, {0, 0, 3});
  EXPECT_FALSE(pair.refine_all_pairs());
  EXPECT_EQ("Ri and Rj not correct!", pair.failure.message);
  expect_entries({{0, 1, 1 / 10.0}}, pair.interaction_list, 0);

  CapacitanceExtractor duplicated;
  add_unit_square(duplicated, 0.0);
  add_unit_square(duplicated, 0.0);
  EXPECT_FALSE(duplicated.refine_all_pairs());
  EXPECT_EQ("\nPotentialEstimation is wrong (r=0)!", duplicated.failure.message);
  EXPECT_TRUE(duplicated.interaction_list.empty());
}

TEST(PairRefinement, AcceptedPairsCoverEveryLeafPairExactlyOnce) {
  // Two unit cubes side by side with a gap of 0.25; many panels are split.
  CapacitanceExtractor extractor;
  for (double x0 : {0.0, 1.25}) {
    double x1 = x0 + 1;
    add_input_panel(extractor, {x0, 0, 0}, {x1, 0, 0}, {x1, 1, 0}, {x0, 1, 0});
    add_input_panel(extractor, {x0, 0, 1}, {x1, 0, 1}, {x1, 1, 1}, {x0, 1, 1});
    add_input_panel(extractor, {x0, 0, 0}, {x1, 0, 0}, {x1, 0, 1}, {x0, 0, 1});
    add_input_panel(extractor, {x0, 1, 0}, {x1, 1, 0}, {x1, 1, 1}, {x0, 1, 1});
    add_input_panel(extractor, {x0, 0, 0}, {x0, 1, 0}, {x0, 1, 1}, {x0, 0, 1});
    add_input_panel(extractor, {x1, 0, 0}, {x1, 1, 0}, {x1, 1, 1}, {x1, 0, 1});
  }
  ASSERT_TRUE(extractor.refine_all_pairs());
  std::size_t refined = extractor.interaction_list.size();
  extractor.number_unknowns();
  ASSERT_TRUE(extractor.add_same_origin_pairs());
  ASSERT_GT(extractor.panel_count, 12u);
  EXPECT_EQ(static_cast<std::size_t>(extractor.unknown_count), extractor.leaf_list.size());

  auto leaves_under = [&](int32_t panel) {
    std::vector<int32_t> leaves;
    std::vector<int32_t> stack{panel};
    while (!stack.empty()) {
      int32_t top = stack.back();
      stack.pop_back();
      const Panel& p = extractor.panels[top];
      if (p.first_child == -1) {
        leaves.push_back(top);
      } else {
        stack.push_back(p.first_child);
        stack.push_back(p.second_child);
      }
    }
    return leaves;
  };
  std::map<std::pair<int32_t, int32_t>, int> covered;
  for (std::size_t e = 0; e < refined; ++e) {
    const InteractionEntry& entry = extractor.interaction_list[e];
    EXPECT_LT(extractor.panels[entry.panel_i].root_index,
              extractor.panels[entry.panel_j].root_index);
    for (int32_t x : leaves_under(entry.panel_i)) {
      for (int32_t y : leaves_under(entry.panel_j)) covered[{x, y}] += 1;
    }
  }
  std::size_t cross_pairs = 0;
  std::size_t same_origin_pairs = 0;
  for (int32_t x : extractor.leaf_list) {
    for (int32_t y : extractor.leaf_list) {
      int32_t rx = extractor.panels[x].root_index;
      int32_t ry = extractor.panels[y].root_index;
      if (rx < ry) {
        ++cross_pairs;
        EXPECT_EQ(1, (covered[{x, y}])) << x << " " << y;
      } else if (rx == ry && x <= y) {
        ++same_origin_pairs;
      }
    }
  }
  EXPECT_EQ(cross_pairs, covered.size());
  EXPECT_EQ(same_origin_pairs, extractor.interaction_list.size() - refined);
  for (std::size_t e = refined; e < extractor.interaction_list.size(); ++e) {
    const InteractionEntry& entry = extractor.interaction_list[e];
    EXPECT_EQ(extractor.panels[entry.panel_i].root_index,
              extractor.panels[entry.panel_j].root_index);
    EXPECT_LE(entry.panel_i, entry.panel_j);
  }
}

TEST(Numbering, SecondChildIsALeafWithoutUnknown) {
  CapacitanceExtractor extractor;
  add_unit_square(extractor, 0.0);
  add_unit_square(extractor, 5.0);
  ASSERT_TRUE(extractor.subdivide_panel(extractor.panels[1]));
  extractor.number_unknowns();
  EXPECT_EQ(std::vector<int32_t>({0, 2, 3}), extractor.leaf_list);
  EXPECT_EQ(3, extractor.unknown_count);
  EXPECT_EQ(0, extractor.panels[0].unknown_number);
  EXPECT_EQ(1, extractor.panels[1].unknown_number);
  EXPECT_EQ(2, extractor.panels[2].unknown_number);
  ASSERT_TRUE(extractor.add_same_origin_pairs());
  expect_entries(
      {{0, 0, 3.53}, {2, 2, 3.53 / std::sqrt(0.5)}, {2, 3, 2.0}, {3, 3, 3.53 / std::sqrt(0.5)}},
      extractor.interaction_list, 0);
}

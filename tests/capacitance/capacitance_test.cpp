#include <gtest/gtest.h>
#include <unistd.h>

#include <cstring>
#include <map>
#include <string>
#include <tuple>
#include <utility>

#include "capacitance/p_matrix_contributions.h"
#include "failing_solves.h"
#include "model/capacitance_extractor.h"
#include "sparse/sparse_matrix.h"

namespace {

/// An unsplit input panel: a square of side 4 at height z, so that every
/// panel of its tree has a centre of its own.
void add_input_panel(CapacitanceExtractor& extractor, double z) {
  Panel panel;
  panel.conductor = 1;
  panel.vertices[0] = Point3{0, 0, z};
  panel.vertices[1] = Point3{4, 0, z};
  panel.vertices[2] = Point3{4, 4, z};
  panel.vertices[3] = Point3{0, 4, z};
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

/// The stored upper triangle of `matrix` as (row, col) -> value.
std::map<std::pair<int32_t, int32_t>, double> stored_entries(const SparseMatrix& matrix) {
  std::map<std::pair<int32_t, int32_t>, double> entries;
  for (int32_t row = 0; row < matrix.rows; ++row) {
    for (const MatrixEntry* e = matrix.row_heads[row]; e != nullptr; e = e->next_in_row) {
      EXPECT_EQ(row, e->row);
      EXPECT_TRUE(entries.emplace(std::make_pair(e->row, e->col), e->value).second);
    }
  }
  EXPECT_EQ(static_cast<std::size_t>(matrix.entry_count), entries.size());
  return entries;
}

using Entries = std::map<std::pair<int32_t, int32_t>, double>;

/// Values that add and subtract exactly, so the expected sums are exact.
const double a = 1.0, b = 2.0, c = 64.0, d = 8.0, e = 16.0, f = 32.0;

}  // namespace

TEST(Assembly, HierarchicalBasisOfOneSplitPanel) {
  CapacitanceExtractor extractor;
  add_input_panel(extractor, 0.0);
  add_input_panel(extractor, 10.0);
  ASSERT_TRUE(extractor.subdivide_panel(extractor.panels[0]));
  extractor.number_unknowns();
  ASSERT_EQ(3, extractor.unknown_count);
  extractor.interaction_list = {{2, 1, a}, {3, 1, b}, {1, 1, f}, {2, 2, c}, {2, 3, d}, {3, 3, e}};
  extractor.assemble_p_matrix();

  const SparseMatrix& p = *extractor.p_matrix;
  EXPECT_EQ(SYMM, p.format);
  EXPECT_EQ(3, p.rows);
  EXPECT_EQ(Entries({{{0, 0}, e},
                     {{0, 1}, b},
                     {{0, 2}, d - e},
                     {{1, 1}, f},
                     {{1, 2}, a - b},
                     {{2, 2}, c - 2 * d + e}}),
            stored_entries(p));
}

TEST(Assembly, SecondChildExpansions) {
  // Input panel 0 split into 2 (first) and 3 (second); 3 split into 4 and 5;
  // 5 split into 6 and 7; 7 split into 8 and 9. Input panel 1 split into 10, 11.
  // Panel 9 is a second child whose ancestors 7, 5 and 3 are second children
  // too: its charge is that of 0 minus 8, 6, 4 and 2 (the siblings on the way
  // up, bottom up), five terms.
  CapacitanceExtractor extractor;
  add_input_panel(extractor, 0.0);
  add_input_panel(extractor, 10.0);
  ASSERT_TRUE(extractor.subdivide_panel(extractor.panels[0]));  // 2, 3
  ASSERT_TRUE(extractor.subdivide_panel(extractor.panels[3]));  // 4, 5
  ASSERT_TRUE(extractor.subdivide_panel(extractor.panels[5]));  // 6, 7
  ASSERT_TRUE(extractor.subdivide_panel(extractor.panels[7]));  // 8, 9
  ASSERT_TRUE(extractor.subdivide_panel(extractor.panels[1]));  // 10, 11
  extractor.number_unknowns();
  // Unknowns: panels 0, 1, 2, 4, 6, 8, 10 -> 0 .. 6.
  ASSERT_EQ(7, extractor.unknown_count);
  const int32_t u0 = 0, u1 = 1, u2 = 2, u4 = 3, u6 = 4, u8 = 5, u10 = 6;

  struct Case {
    InteractionEntry entry;
    Entries expected;
  } cases[] = {
      // Input panels: one stored value at (smaller, larger).
      {{1, 0, a}, {{{u0, u1}, a}}},
      // Self entry of a first child: v once on its diagonal.
      {{4, 4, a}, {{{u4, u4}, a}}},
      // Second child 3 (parent an input panel) with a panel of another tree.
      {{3, 10, a}, {{{u2, u10}, -a}, {{u0, u10}, a}}},
      // The siblings 2 and 3: -2v on the diagonal of 2, +v at (2, parent).
      {{2, 3, a}, {{{u2, u2}, -2 * a}, {{u0, u2}, a}}},
      // Self entry of 3: -v at (parent, sibling), +v on both diagonals.
      {{3, 3, a}, {{{u0, u2}, -a}, {{u2, u2}, a}, {{u0, u0}, a}}},
      // Two second children of different trees: 5 = 0 - 2 - 4 and 11 = 1 - 10.
      {{5, 11, a},
       {{{u4, u10}, a},
        {{u2, u10}, a},
        {{u1, u4}, -a},
        {{u1, u2}, -a},
        {{u0, u10}, -a},
        {{u0, u1}, a}}},
      // The deep second child 9 with an input panel: four minus terms, one plus.
      {{1, 9, a}, {{{u1, u8}, -a}, {{u1, u6}, -a}, {{u1, u4}, -a}, {{u1, u2}, -a}, {{u0, u1}, a}}},
      // Self entry of 7 = 0 - 2 - 4 - 6: the square of its expansion.
      {{7, 7, a},
       {{{u6, u6}, a},
        {{u4, u4}, a},
        {{u2, u2}, a},
        {{u0, u0}, a},
        {{u4, u6}, a},
        {{u2, u6}, a},
        {{u2, u4}, a},
        {{u0, u6}, -a},
        {{u0, u4}, -a},
        {{u0, u2}, -a}}},
      // Two entries that cancel exactly leave no entry behind.
      {{1, 0, a}, {}},
  };
  for (Case& test : cases) {
    SCOPED_TRACE(std::to_string(test.entry.panel_i) + "," + std::to_string(test.entry.panel_j));
    extractor.interaction_list = {test.entry};
    if (test.expected.empty()) extractor.interaction_list.push_back({0, 1, -a});
    extractor.assemble_p_matrix();
    EXPECT_EQ(test.expected, stored_entries(*extractor.p_matrix));
  }
}

TEST(Assembly, ExchangingThePanelsOfAnEntryGivesTheSameMatrix) {
  CapacitanceExtractor extractor;
  add_input_panel(extractor, 0.0);
  add_input_panel(extractor, 10.0);
  ASSERT_TRUE(extractor.subdivide_panel(extractor.panels[0]));
  ASSERT_TRUE(extractor.subdivide_panel(extractor.panels[3]));
  ASSERT_TRUE(extractor.subdivide_panel(extractor.panels[1]));
  extractor.number_unknowns();
  extractor.interaction_list = {{5, 7, a}, {4, 6, b}, {5, 6, d}};
  extractor.assemble_p_matrix();
  Entries forward = stored_entries(*extractor.p_matrix);
  extractor.interaction_list = {{7, 5, a}, {6, 4, b}, {6, 5, d}};
  extractor.assemble_p_matrix();
  EXPECT_EQ(forward, stored_entries(*extractor.p_matrix));
  EXPECT_FALSE(forward.empty());
}

TEST(Assembly, EmptyInteractionListGivesAnEmptyMatrix) {
  CapacitanceExtractor extractor;
  add_input_panel(extractor, 0.0);
  add_input_panel(extractor, 10.0);
  extractor.number_unknowns();
  extractor.assemble_p_matrix();
  EXPECT_EQ(2, extractor.p_matrix->rows);
  EXPECT_EQ(0, extractor.p_matrix->entry_count);
}

namespace {

/// Every stored value of `m`, bit for bit, with its position.
std::vector<std::tuple<int32_t, int32_t, uint64_t>> stored_bits(const SparseMatrix& m) {
  std::vector<std::tuple<int32_t, int32_t, uint64_t>> bits;
  for (int32_t row = 0; row < m.rows; ++row) {
    for (const MatrixEntry* e = m.row_heads[row]; e != nullptr; e = e->next_in_row) {
      uint64_t value;
      std::memcpy(&value, &e->value, sizeof value);
      bits.emplace_back(e->row, e->col, value);
    }
  }
  return bits;
}

}  // namespace

TEST(Assembly, OrderedSumsGiveWhatAccumulatingIntoTheRowListsGives) {
  // A refined structure, plus entries whose sums cancel exactly and start again, a stored 0.0
  // and a stored -0.0: every value and the entry count must be those of accumulate_symmetric
  // called contribution by contribution.
  for (const char* name : {"random5", "messy"}) {
    SCOPED_TRACE(name);
    CapacitanceExtractor extractor;
    ASSERT_TRUE(extractor.read_panel_file(std::string(VORNAX_TEST_DATA) + "/" + name + ".panels"));
    ASSERT_TRUE(extractor.refine_all_pairs());
    extractor.number_unknowns();
    ASSERT_TRUE(extractor.add_same_origin_pairs());
    const double v = extractor.interaction_list[0].p_ij;
    extractor.interaction_list.push_back({0, 1, -extractor.interaction_list[0].p_ij});
    extractor.interaction_list.push_back({0, 2, v});
    extractor.interaction_list.push_back({2, 0, -v});
    extractor.interaction_list.push_back({0, 2, 0.0});
    extractor.interaction_list.push_back({3, 4, -0.0});
    extractor.assemble_p_matrix();

    SparseMatrix expected(extractor.unknown_count, extractor.unknown_count, SYMM);
    for_each_p_contribution(extractor.panels, extractor.interaction_list,
                            [&](int32_t i, int32_t j, double w, int32_t flag) {
                              expected.accumulate_symmetric(i, j, w, flag);
                            });
    expected.rebuild_links();
    EXPECT_EQ(expected.entry_count, extractor.p_matrix->entry_count);
    EXPECT_EQ(stored_bits(expected), stored_bits(*extractor.p_matrix));
    EXPECT_GT(expected.entry_count, 100);
  }

  // A position whose first contribution is -0.0 holds -0.0, as a new entry takes its value.
  CapacitanceExtractor extractor;
  add_input_panel(extractor, 0.0);
  add_input_panel(extractor, 10.0);
  extractor.number_unknowns();
  extractor.interaction_list = {{0, 1, -0.0}, {1, 1, a}, {1, 1, -a}, {1, 1, -0.0}};
  extractor.assemble_p_matrix();
  const std::vector<std::tuple<int32_t, int32_t, uint64_t>> negative_zeros = {
      {0, 1, uint64_t{1} << 63}, {1, 1, uint64_t{1} << 63}};
  EXPECT_EQ(negative_zeros, stored_bits(*extractor.p_matrix));
}

// Two conductors give up, in lanes of one thread or of two: the lower one is named, once, on
// standard output, and the run ends with status 1, without waiting for the solves above it,
// which would take minutes.
TEST(CapacitanceDeathTest, TheLowestConductorWhoseSolveGivesUpIsNamed) {
  for (int32_t threads : {1, 2}) {
    SCOPED_TRACE(threads);
    EXPECT_EXIT(
        {
          CapacitanceExtractor extractor;
          set_up_failing_solves(extractor, 12, {9, 1}, 200000);
          extractor.thread_count = threads;
          dup2(STDERR_FILENO, STDOUT_FILENO);
          extractor.compute_capacitance();
        },
        ::testing::ExitedWithCode(1),
        "^Error: The solve for conductor 2 \\(number 20\\) did not converge\\.\n$");
  }
}

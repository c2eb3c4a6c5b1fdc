// vornax-fine's reader: every file vornax reads is read alike, conductors as runs of any length
// with any label, and the new faults (non-rectangles, overlaps, touching conductors) named.
#include "fine/structure_reader.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <string>

#include "fine/panel_contacts.h"
#include "geometry/panel_reader.h"

namespace {

std::string read(const std::string& text, FineStructure& structure) {
  std::istringstream in(text);
  return read_fine_structure(in, "t.panels", structure);
}

std::string read(const std::string& text) {
  FineStructure structure;
  return read(text, structure);
}

/// Checks that `fine` holds the panels and the runs of conductor numbers of vornax's `panels`.
void expect_read_alike(const PanelVector& panels, const FineStructure& fine) {
  ASSERT_EQ(panels.size(), fine.panels.size());
  uint32_t conductor = UINT32_MAX;
  for (uint32_t k = 0; k < panels.size(); ++k) {
    if (k == 0 || panels[k].conductor != panels[k - 1].conductor) {
      ASSERT_LT(++conductor, fine.conductors.size());
      int32_t number;
      EXPECT_TRUE(parse_int32(fine.conductors[conductor].label, number));
      EXPECT_EQ(panels[k].conductor, number);
      EXPECT_EQ(k, fine.conductors[conductor].first_panel);
    }
    EXPECT_EQ(conductor, fine.conductor_of_panel[k]);
    const Point3* v = panels[k].vertices;
    const double first[3] = {v[0].x, v[0].y, v[0].z}, third[3] = {v[2].x, v[2].y, v[2].z};
    const AxisRect& rect = fine.panels[k];
    EXPECT_EQ(first[rect.axis], rect.level);
    EXPECT_EQ(third[rect.axis], rect.level);
    for (int side = 0; side < 2; ++side) {
      int along = (rect.axis + 1 + side) % 3;
      EXPECT_EQ(std::min(first[along], third[along]), rect.lo[side]) << k;
      EXPECT_EQ(std::max(first[along], third[along]), rect.hi[side]) << k;
    }
  }
  EXPECT_EQ(conductor + 1, fine.conductors.size());
  for (const FineConductor& run : fine.conductors) {
    uint32_t end = run.first_panel + run.panel_count;
    EXPECT_TRUE(end == panels.size() ||
                fine.conductor_of_panel[end] != fine.conductor_of_panel[end - 1]);
  }
}

const char kCube[] =  // the unit cube's faces, one record each after its label
    " 0 0 0 1 0 0 1 1 0 0 1 0\n 0 0 1 0 1 1 1 1 1 1 0 1\n 0 0 0 0 0 1 1 0 1 1 0 0\n"
    " 0 1 0 1 1 0 1 1 1 0 1 1\n 0 0 0 0 1 0 0 1 1 0 0 1\n 1 0 0 1 0 1 1 1 1 1 1 0\n";

/// The cube's six records labelled `label`, shifted by `dx` along x.
std::string cube(const std::string& label, double dx) {
  std::istringstream faces(kCube);
  std::ostringstream records;
  records.precision(17);
  for (int face = 0; face < 6; ++face) {
    records << "Q " << label;
    for (int k = 0; k < 12; ++k) {
      double value;
      faces >> value;
      records << ' ' << (k % 3 == 0 ? value + dx : value);
    }
    records << '\n';
  }
  return records.str();
}

}  // namespace

TEST(FineReader, EveryFileVornaxReadsIsReadAlike) {
  // Files that vornax's reader takes but that describe no valid structure; every other one
  // that it takes must be read alike. The messages were worked out by hand from the files.
  const std::map<std::string, std::string> refused = {
      {"err_duplicate.panels",
       "Error: Conductors '1' (from panel record 1) and '2' (from panel record 7) touch: panel "
       "records 1 and 7 share a point, so they would be one conductor."},
      {"err_zero_size.panels",
       "Error: Panel record 12: the panel has no area: vertices 1 and 3 have the same y "
       "coordinate."}};
  int alike = 0, same_message = 0;
  for (const char* folder : {VORNAX_TEST_DATA, VORNAX_EXAMPLES}) {
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
      std::string path = entry.path().string(), name = entry.path().filename().string();
      if (entry.path().extension() != ".panels" && entry.path().extension() != ".txt") continue;
      SCOPED_TRACE(name);
      std::ifstream vornax_in(path), fine_in(path);
      PanelVector panels;
      uint32_t count = 0;
      std::string vornax_error = read_panel_records(vornax_in, panels, count);
      if (vornax_error.empty() && panels.size() == 0) vornax_error = no_records_error(path);
      FineStructure fine;
      std::string fine_error = read_fine_structure(fine_in, path, fine);
      if (!vornax_error.empty()) {
        EXPECT_EQ(vornax_error, fine_error);
        same_message += 1;
      } else if (refused.count(name) > 0) {
        EXPECT_EQ(refused.at(name), fine_error);
      } else {
        ASSERT_EQ("", fine_error);
        expect_read_alike(panels, fine);
        alike += 1;
      }
    }
  }
  EXPECT_EQ(14, alike);  // 10 files of tests/data, the 4 examples
  EXPECT_EQ(3, same_message);
}

TEST(FineReader, ConductorsAreRunsOfAnyLengthWithAnyLabel) {
  FineStructure s;
  // "7", "+7" and "007" are one number, "7.0" is a label of its own; "-1" counts from the start;
  // a label that comes back after another is another conductor.
  ASSERT_EQ("", read("Q -1 0 0 0 1 0 0 1 1 0 0 1 0\n" + cube("clk_a", 2) +
                         "Q 7 4 0 0 5 0 0 5 1 0 4 1 0  Q +7 6 0 0 7 0 0 7 1 0 6 1 0\n"
                         "Q 007 8 0 0 9 0 0 9 1 0 8 1 0  Q 7.0 10 0 0 11 0 0 11 1 0 10 1 0\n" +
                         cube("clk_a", 12),
                     s));
  const std::vector<std::string> labels = {"-1", "clk_a", "7", "7.0", "clk_a"};
  const uint32_t firsts[] = {0, 1, 7, 10, 11}, counts[] = {1, 6, 3, 1, 6};
  ASSERT_EQ(labels.size(), s.conductors.size());
  for (size_t c = 0; c < labels.size(); ++c) {
    EXPECT_EQ(labels[c], s.conductors[c].label);
    EXPECT_EQ(firsts[c], s.conductors[c].first_panel);
    EXPECT_EQ(counts[c], s.conductors[c].panel_count);
    for (uint32_t k = 0; k < counts[c]; ++k) EXPECT_EQ(c, s.conductor_of_panel[firsts[c] + k]);
  }
  // A panel reversed in direction, with its normal along x.
  ASSERT_EQ("", read("Q a 5 2 3  5 2 1  5 -1 1  5 -1 3", s));
  EXPECT_EQ(0, s.panels[0].axis);
  EXPECT_EQ(5.0, s.panels[0].level);
  EXPECT_EQ(-1.0, s.panels[0].lo[0]);
  EXPECT_EQ(2.0, s.panels[0].hi[0]);
  EXPECT_EQ(1.0, s.panels[0].lo[1]);
  EXPECT_EQ(3.0, s.panels[0].hi[1]);
}

TEST(FineReader, RecordsMustBeRectanglesParallelToACoordinatePlane) {
  EXPECT_EQ(
      "Error: Panel record 2: the panel is not parallel to a coordinate plane: no coordinate is "
      "the same at its four vertices.",
      read("Q a 0 0 0 1 0 0 1 1 0 0 1 0  Q a 0 0 0 1 0 0 1 1 1e-300 0 1 0"));
  EXPECT_EQ(
      "Error: Panel record 1: the panel has no area: vertices 1 and 3 have the same z "
      "coordinate.",
      read("Q a 0 0 0 0 0 0 0 1 0 0 1 0"));
  for (const char* not_in_order : {"Q a 0 0 0 2 0 0 1 1 0 0 1 0", "Q a 0 0 0 0 0 0 1 1 0 0 1 0",
                                   "Q a 0 0 0 1 0 0 1 1 0 1 0 0"}) {
    EXPECT_EQ(
        "Error: Panel record 1: vertices 2 and 4 are not the other two corners of the "
        "rectangle from vertex 1 to vertex 3, in order around it.",
        read(not_in_order));
  }
  // vornax's messages for malformed records, whatever the label.
  EXPECT_EQ("Error: Panel record 1: coordinate x2 '1.0x' is not a number.",
            read("Q clk 0 0 0 1.0x 0 0 1 1 0 0 1 0"));
  EXPECT_EQ("Error: Panel record 1: the panel is too large: its size, area or centre overflows.",
            read("Q clk 0 0 0 1e300 0 0 1e300 1e300 0 0 1e300 0"));
  EXPECT_EQ(
      "Error: Panel record 1: conductor label 'Q' is the mark that starts a record; a label "
      "is any other token.",
      read("Q Q 0 0 0 1 0 0 1 1 0 0 1 0"));
  EXPECT_EQ("Error: The panel file 't.panels' holds no panel records.", read("q 1 0 0"));
}

TEST(FineReader, OverlapsAndTouchingConductorsAreNamed) {
  // Conductors apart by the smallest step of a double are apart.
  EXPECT_EQ("", read(cube("a", 0) + cube("b", 1.0000000000000002)));
  const std::string touching =
      " touch: panel records 1 and 7 share a point, so they would be one conductor.";
  EXPECT_EQ("Error: Conductors 'a' (from panel record 1) and 'b' (from panel record 7)" + touching,
            read(cube("a", 0) + cube("b", 1)));
  // Along an edge, at a corner, crossing: conductors named by label and first record.
  const std::string plate = "Q a 0 0 0 1 0 0 1 1 0 0 1 0\n";
  const std::string message =
      "Error: Conductors 'a' (from panel record 1) and 'a' (from panel record 3) touch: panel "
      "records 1 and 3 share a point, so they would be one conductor.";
  EXPECT_EQ(message, read(plate + "Q b 5 5 5 6 5 5 6 6 5 5 6 5\n Q a 1 0 0 1 1 0 1 1 1 1 0 1"));
  EXPECT_EQ(message, read(plate + "Q b 5 5 5 6 5 5 6 6 5 5 6 5\n Q a 1 1 0 2 1 0 2 2 0 1 2 0"));
  EXPECT_EQ(message,
            read(plate + "Q b 5 5 5 6 5 5 6 6 5 5 6 5\n Q a .5 0 -1 .5 1 -1 .5 1 1 .5 0 1"));
  // Within one conductor only an overlap over an area is a fault.
  EXPECT_EQ("Error: Panel records 1 and 2 overlap over a positive area.",
            read(plate + "Q a .5 .5 0 2 .5 0 2 2 0 .5 2 0"));
  EXPECT_EQ("", read(plate + "Q a 1 0 0 2 0 0 2 1 0 1 1 0  Q a .5 0 -1 .5 1 -1 .5 1 1 .5 0 1"));
}

TEST(FineReader, ContactsAreFoundAsBetweenAllPairs) {
  // Random panels on a coarse grid, so that many touch or overlap, against every pair in turn.
  std::mt19937 random(18);
  const uint32_t kRun = 20;     // panels per conductor
  int outcomes[3] = {0, 0, 0};  // none, touching, overlapping
  for (int trial = 0; trial < 300; ++trial) {
    int span = 3 + trial % 100;
    std::uniform_int_distribution<int> at(0, span);
    FineStructure s;
    for (uint32_t k = 0; k < 60; ++k) {
      AxisRect rect;
      rect.axis = at(random) % 3;
      rect.level = at(random);
      for (int side = 0; side < 2; ++side) {
        rect.lo[side] = at(random);
        rect.hi[side] = rect.lo[side] + 1 + at(random) % 3;
      }
      s.panels.push_back(rect);
      s.conductor_of_panel.push_back(k / kRun);
      if (k % kRun == 0) s.conductors.push_back(FineConductor{std::to_string(k), k, kRun});
    }
    std::string expected;
    for (uint32_t b = 0; b < s.panels.size() && expected.empty(); ++b) {
      for (uint32_t a = 0; a < b && expected.empty(); ++a) {
        const AxisRect &p = s.panels[a], &q = s.panels[b];
        double p_lo[3], p_hi[3], q_lo[3], q_hi[3];
        for (int side = 0; side < 3; ++side) {
          int along_p = (p.axis + side) % 3, along_q = (q.axis + side) % 3;
          p_lo[along_p] = side == 0 ? p.level : p.lo[side - 1];
          p_hi[along_p] = side == 0 ? p.level : p.hi[side - 1];
          q_lo[along_q] = side == 0 ? q.level : q.lo[side - 1];
          q_hi[along_q] = side == 0 ? q.level : q.hi[side - 1];
        }
        bool meet = true, area = p.axis == q.axis;
        for (int axis = 0; axis < 3; ++axis) {
          meet = meet && p_lo[axis] <= q_hi[axis] && q_lo[axis] <= p_hi[axis];
          if (axis != p.axis) area = area && p_lo[axis] < q_hi[axis] && q_lo[axis] < p_hi[axis];
        }
        std::string pair = std::to_string(a + 1) + " and " + std::to_string(b + 1);
        if (meet && a / kRun != b / kRun) {
          expected = "Error: Conductors '" + std::to_string(a / kRun * kRun) +
                     "' (from panel record " + std::to_string(a / kRun * kRun + 1) + ") and '" +
                     std::to_string(b / kRun * kRun) + "' (from panel record " +
                     std::to_string(b / kRun * kRun + 1) + ") touch: panel records " + pair +
                     " share a point, so they would be one conductor.";
        } else if (meet && area) {
          expected = "Error: Panel records " + pair + " overlap over a positive area.";
        }
      }
    }
    outcomes[expected.empty() ? 0 : expected[7] == 'C' ? 1 : 2] += 1;
    EXPECT_EQ(expected, check_panel_contacts(s)) << trial;
  }
  for (int count : outcomes) EXPECT_GT(count, 15);
}

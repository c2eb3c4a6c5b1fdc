#include <gtest/gtest.h>
#include <unistd.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <sstream>
#include <string>

#include "geometry/panel_reader.h"
#include "model/capacitance_extractor.h"
#include "model/panel.h"

namespace {

Panel make_panel(Point3 v1, Point3 v2, Point3 v3, Point3 v4) {
  Panel panel;
  panel.vertices[0] = v1;
  panel.vertices[1] = v2;
  panel.vertices[2] = v3;
  panel.vertices[3] = v4;
  panel.compute_centre();
  panel.compute_area();
  return panel;
}

void expect_point(const Point3& expected, const Point3& actual) {
  EXPECT_EQ(expected.x, actual.x);
  EXPECT_EQ(expected.y, actual.y);
  EXPECT_EQ(expected.z, actual.z);
}

/// Six faces of the unit cube shifted by `x0` along x, tagged `conductor`.
std::string cube_records(int conductor, int x0) {
  std::ostringstream text;
  const char* faces[6] = {"0 0 0  1 0 0  1 1 0  0 1 0", "0 0 1  1 0 1  1 1 1  0 1 1",
                          "0 0 0  1 0 0  1 0 1  0 0 1", "0 1 0  1 1 0  1 1 1  0 1 1",
                          "0 0 0  0 1 0  0 1 1  0 0 1", "1 0 0  1 1 0  1 1 1  1 0 1"};
  for (const char* face : faces) {
    std::istringstream numbers(face);
    text << "Q " << conductor;
    for (int k = 0; k < 12; ++k) {
      double value;
      numbers >> value;
      text << ' ' << (k % 3 == 0 ? value + x0 : value);
    }
    text << '\n';
  }
  return text.str();
}

class PanelReader : public ::testing::Test {
 protected:
  /// Reads `text`; returns the reader's message ("" on success).
  std::string read(const std::string& text) {
    std::istringstream in(text);
    panels = PanelVector();
    return read_panel_records(in, panels, conductor_count);
  }

  PanelVector panels;
  uint32_t conductor_count = 99;
};

}  // namespace

TEST(PanelGeometry, CentreAndAreaFromVerticesOneAndThree) {
  Panel square = make_panel({0, 0, 0}, {2, 0, 0}, {2, 3, 0}, {0, 3, 0});
  expect_point({1, 1.5, 0}, square.centre);
  EXPECT_EQ(6.0, square.area);

  // Travelling the other way round: vertex 3 below vertex 1 in both extents.
  Panel reversed = make_panel({2, 3, 5}, {2, 0, 5}, {0, 0, 5}, {0, 3, 5});
  EXPECT_EQ(6.0, reversed.area);
  Panel mixed = make_panel({0, 3, 1}, {0, 0, 1}, {0, 0, 4}, {0, 3, 4});
  EXPECT_EQ(9.0, mixed.area);

  Panel point = make_panel({1, 2, 3}, {1, 2, 3}, {1, 2, 3}, {1, 2, 3});
  EXPECT_EQ(1.0, point.area);
  expect_point({1, 2, 3}, point.centre);

  Panel one_extent = make_panel({0, 0, 0}, {0, 0, 0}, {0, -2.5, 0}, {0, 0, 0});
  EXPECT_EQ(2.5, one_extent.area);
  Panel three_extents = make_panel({0, 0, 0}, {0, 0, 0}, {-2, 3, 4}, {0, 0, 0});
  EXPECT_EQ(24.0, three_extents.area);
}

TEST(PanelGeometry, SizeIsTheLongerSideAtVertexOne) {
  EXPECT_EQ(1.0, make_panel({0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {0, 1, 0}).panel_size());
  EXPECT_EQ(2.0, make_panel({0, 0, 0}, {2, 0, 0}, {2, 1, 0}, {0, 1, 0}).panel_size());
  EXPECT_EQ(2.0, make_panel({0, 0, 0}, {0, 1, 0}, {2, 1, 0}, {2, 0, 0}).panel_size());
  EXPECT_EQ(5.0, make_panel({0, 0, 0}, {0, 3, 4}, {0, 3, 4}, {0, 0, 0}).panel_size());
}

TEST(PanelGeometry, AssignmentKeepsKindAndUnknownButCopiesTheRest) {
  Panel source = make_panel({0, 0, 0}, {2, 0, 0}, {2, 1, 0}, {0, 1, 0});
  source.conductor = 7;
  source.parent = 3;
  source.first_child = 8;
  source.second_child = 9;
  source.index = 4;
  source.root_index = 1;
  source.is_split = true;
  source.child_kind = kFirstChild;
  source.unknown_number = 11;

  Panel target;
  target.child_kind = kSecondChild;
  target.unknown_number = 5;
  target = source;
  EXPECT_EQ(kSecondChild, target.child_kind);
  EXPECT_EQ(5, target.unknown_number);
  EXPECT_EQ(7, target.conductor);
  EXPECT_EQ(3, target.parent);
  EXPECT_EQ(8, target.first_child);
  EXPECT_EQ(9, target.second_child);
  EXPECT_EQ(4, target.index);
  EXPECT_EQ(1, target.root_index);
  EXPECT_TRUE(target.is_split);
  EXPECT_EQ(2.0, target.area);
  expect_point({2, 1, 0}, target.vertices[2]);

  Panel copied(source);  // a copy into a new place takes every field
  EXPECT_EQ(kFirstChild, copied.child_kind);
  EXPECT_EQ(11, copied.unknown_number);

  Panel fresh;
  EXPECT_EQ(-1, fresh.parent);
  EXPECT_EQ(-1, fresh.first_child);
  EXPECT_EQ(-1, fresh.second_child);
  EXPECT_EQ(-1, fresh.index);
  EXPECT_EQ(1.0, fresh.area);
  EXPECT_EQ(0, fresh.unknown_number);
}

TEST_F(PanelReader, TokensMayBeSpreadOrPackedAnyway) {
  ASSERT_EQ("",
            read("title Q1 QQ q 5\nQ 3 0 0 0 1 0 0 1 1 0 0 1 0 Q 3\n0\n0\t1\r\n1 0 1 1 1 1 0 1 1"));
  ASSERT_EQ(2u, panels.size());
  EXPECT_EQ(1u, conductor_count);
  EXPECT_EQ(3, panels[1].conductor);
  expect_point({0, 0, 1}, panels[1].vertices[0]);
  expect_point({0, 1, 1}, panels[1].vertices[3]);
  for (int32_t k = 0; k < 2; ++k) {
    EXPECT_EQ(k, panels[k].index);
    EXPECT_EQ(k, panels[k].root_index);
    EXPECT_EQ(0, panels[k].child_kind);
    EXPECT_EQ(-1, panels[k].parent);
    EXPECT_FALSE(panels[k].is_split);
  }
  expect_point({0.5, 0.5, 1}, panels[1].centre);
  EXPECT_EQ(1.0, panels[1].area);

  // The same record with and without a final newline, in exponent notation.
  ASSERT_EQ("", read("Q 1 0 0 0 2e0 0 0 +2.0 .1E1 0 0 1. -0\n"));
  ASSERT_EQ(1u, panels.size());
  EXPECT_EQ(2.0, panels[0].area);
  ASSERT_EQ("", read("Q 1 0 0 0 2e0 0 0 +2.0 .1E1 0 0 1. -0"));
  ASSERT_EQ(1u, panels.size());

  ASSERT_EQ("", read("no records here\n"));
  EXPECT_EQ(0u, panels.size());
  EXPECT_EQ(0u, conductor_count);
}

TEST_F(PanelReader, ConductorsAreCountedAsRuns) {
  const std::string coordinates = " 0 0 0 1 0 0 1 1 0 0 1 0\n";
  ASSERT_EQ("", read("Q 1" + coordinates + "Q 1" + coordinates + "Q 2" + coordinates + "Q 2" +
                     coordinates + "Q 1" + coordinates));
  EXPECT_EQ(3u, conductor_count);

  // The number before the first record counts as -1.
  ASSERT_EQ("", read("Q -1" + coordinates + "Q -1" + coordinates + "Q 4" + coordinates));
  EXPECT_EQ(1u, conductor_count);
}

TEST_F(PanelReader, MalformedRecordsAreNamed) {
  const std::string rest = " 0 0 0 1 0 0 1 1 0 0 1 0\n";
  EXPECT_EQ("Error: Panel record 2: coordinate x2 '1.0x' is not a number.",
            read("Q 1" + rest + "Q 1 0 0 0 1.0x 0 0 1 1 0 0 1 0"));
  EXPECT_EQ("Error: Panel record 1: coordinate z4 'nan' is not a number.",
            read("Q 1 0 0 0 1 0 0 1 1 0 0 1 nan"));
  EXPECT_EQ("Error: Panel record 1: coordinate y1 'inf' is not a number.",
            read("Q 1 0 inf 0 1 0 0 1 1 0 0 1 0"));
  EXPECT_EQ("Error: Panel record 1: coordinate x1 '0x10' is not a number.",
            read("Q 1 0x10 0 0 1 0 0 1 1 0 0 1 0"));
  EXPECT_EQ("Error: Panel record 1: coordinate x1 'Q' is not a number.", read("Q 1 Q" + rest));
  EXPECT_EQ("Error: Panel record 1: coordinate x1 '1e' is not a number.", read("Q 1 1e" + rest));
  EXPECT_EQ("Error: Panel record 1: coordinate x1 '1e999' is too large.", read("Q 1 1e999" + rest));
  EXPECT_EQ("Error: Panel record 1: conductor number '2147483648' is not a 32-bit integer.",
            read("Q 2147483648" + rest));
  EXPECT_EQ("Error: Panel record 1: conductor number '1.5' is not a 32-bit integer.",
            read("Q 1.5" + rest));
  EXPECT_EQ("", read("Q -2147483648" + rest));
  EXPECT_EQ("Error: Panel record 1: coordinate x1 '?\?\?' is not a number.",
            read(std::string("Q 1 \x01\x7f\xff") + rest));

  EXPECT_EQ(
      "Error: Panel record 2 is cut short by the end of the file (10 of its 13 numbers "
      "present).",
      read("Q 1" + rest + "Q 1 0 0 0 1 0 0 1 1 0"));
  EXPECT_EQ(
      "Error: Panel record 1 is cut short by the end of the file (0 of its 13 numbers "
      "present).",
      read("Q"));
  EXPECT_EQ("Error: Panel record 1: the panel is too large: its size, area or centre overflows.",
            read("Q 1 0 0 0 1e300 0 0 1e300 1e300 0 0 1e300 0"));
}

TEST(ConductorRuns, EveryConductorIsSixConsecutiveRecords) {
  PanelVector panels;
  uint32_t count = 0;
  std::istringstream good(cube_records(1, 0) + cube_records(2, 2) + cube_records(1, 4));
  ASSERT_EQ("", read_panel_records(good, panels, count));
  EXPECT_EQ(3u, count);
  EXPECT_EQ("", check_conductor_runs(panels));

  std::string five = cube_records(1, 0);
  five = five.substr(0, five.rfind("Q "));
  PanelVector short_panels;
  std::istringstream short_run(cube_records(4, 0) + five);
  ASSERT_EQ("", read_panel_records(short_run, short_panels, count));
  EXPECT_EQ(
      "Error: Conductor 2 (number 1, from panel record 7) has 5 panel records; every "
      "conductor must consist of exactly six consecutive panel records.",
      check_conductor_runs(short_panels));

  PanelVector uncounted;
  std::istringstream minus_one(cube_records(-1, 0));
  ASSERT_EQ("", read_panel_records(minus_one, uncounted, count));
  EXPECT_EQ(0u, count);
  EXPECT_EQ(
      "Error: Conductor -1 at panel record 1 is not counted as a conductor; every "
      "conductor must consist of exactly six consecutive panel records.",
      check_conductor_runs(uncounted));
}

TEST(ReadPanelFile, ToleranceIsScaledByTheConductorCount) {
  const struct {
    int conductors;
    double tolerance;
  } cases[] = {{1, 16.15}, {16, 16.15}, {17, 28.9}, {100, 170.0}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.conductors);
    std::string text = "title line\n";
    for (int k = 0; k < c.conductors; ++k) text += cube_records(k + 1, 2 * k);
    char name[] = "/tmp/vornax-reader-XXXXXX";
    int fd = mkstemp(name);
    ASSERT_GE(fd, 0);
    FILE* file = fdopen(fd, "w");
    std::fputs(text.c_str(), file);
    std::fclose(file);

    CapacitanceExtractor extractor;
    EXPECT_TRUE(extractor.read_panel_file(name));
    std::remove(name);
    EXPECT_EQ(static_cast<uint32_t>(c.conductors), extractor.conductor_count);
    EXPECT_EQ(static_cast<uint32_t>(6 * c.conductors), extractor.input_panel_count);
    EXPECT_EQ(extractor.input_panel_count, extractor.panel_count);
    EXPECT_DOUBLE_EQ(c.tolerance, extractor.pcg_tolerance);
  }
}

TEST(Subdivision, HalvesTheLongerSideAtVertexOne) {
  struct Case {
    Panel parent;
    Point3 first[4];
    Point3 second[4];
  } cases[] = {
      {make_panel({0, 0, 0}, {2, 0, 0}, {2, 1, 0}, {0, 1, 0}),
       {{0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {0, 1, 0}},
       {{1, 0, 0}, {2, 0, 0}, {2, 1, 0}, {1, 1, 0}}},
      // Equal sides: the side from vertex 1 to vertex 4 is halved.
      {make_panel({0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {0, 1, 0}),
       {{0, 0, 0}, {1, 0, 0}, {1, 0.5, 0}, {0, 0.5, 0}},
       {{0, 0.5, 0}, {1, 0.5, 0}, {1, 1, 0}, {0, 1, 0}}},
      {make_panel({0, 0, 0}, {0, 1, 0}, {2, 1, 0}, {2, 0, 0}),
       {{0, 0, 0}, {0, 1, 0}, {1, 1, 0}, {1, 0, 0}},
       {{1, 0, 0}, {1, 1, 0}, {2, 1, 0}, {2, 0, 0}}},
      // A panel in a plane x = const is cut the same way.
      {make_panel({3, 0, 0}, {3, 0, 4}, {3, 1, 4}, {3, 1, 0}),
       {{3, 0, 0}, {3, 0, 2}, {3, 1, 2}, {3, 1, 0}},
       {{3, 0, 2}, {3, 0, 4}, {3, 1, 4}, {3, 1, 2}}},
  };
  for (const Case& c : cases) {
    CapacitanceExtractor extractor;
    for (int k = 0; k < 7; ++k) {
      Panel panel = c.parent;
      panel.conductor = 5;
      panel.index = k;
      panel.root_index = k;
      panel.child_kind = kInputPanel;
      panel.is_split = false;
      extractor.panels.append(panel);
    }
    extractor.panel_count = 7;
    ASSERT_TRUE(extractor.subdivide_panel(extractor.panels[3]));

    ASSERT_EQ(9u, extractor.panel_count);
    ASSERT_EQ(9u, extractor.panels.size());
    const Panel& parent = extractor.panels[3];
    EXPECT_EQ(7, parent.first_child);
    EXPECT_EQ(8, parent.second_child);
    EXPECT_TRUE(parent.is_split);
    const Panel& first = extractor.panels[7];
    const Panel& second = extractor.panels[8];
    for (int v = 0; v < 4; ++v) {
      expect_point(c.first[v], first.vertices[v]);
      expect_point(c.second[v], second.vertices[v]);
    }
    EXPECT_EQ(c.parent.area * 0.5, first.area);
    EXPECT_EQ(c.parent.area * 0.5, second.area);
    EXPECT_EQ((c.first[2].x + c.first[0].x) * 0.5, first.centre.x);
    EXPECT_EQ((c.second[2].y + c.second[0].y) * 0.5, second.centre.y);
    EXPECT_EQ(7, first.index);
    EXPECT_EQ(8, second.index);
    EXPECT_EQ(2, first.child_kind);
    EXPECT_EQ(1, second.child_kind);
    for (const Panel* child : {&first, &second}) {
      EXPECT_EQ(3, child->parent);
      EXPECT_EQ(3, child->root_index);
      EXPECT_EQ(5, child->conductor);
      EXPECT_EQ(-1, child->first_child);
      EXPECT_EQ(-1, child->second_child);
      EXPECT_FALSE(child->is_split);
    }
  }
}

namespace {

/// An extractor holding `panel` as its only input panel, at position 0 but named as record
/// `record` in messages.
void hold_one_input_panel(CapacitanceExtractor& extractor, Panel panel, int32_t record) {
  panel.index = 0;
  panel.root_index = record - 1;
  panel.child_kind = kInputPanel;
  panel.is_split = false;
  extractor.panels.append(panel);
  extractor.panel_count = 1;
}

}  // namespace

TEST(Subdivision, SideWithoutARepresentableMidpointFails) {
  // Doubles from 2^53 to 2^54 (9.0e15 to 1.8e16) are 2 apart, so the midpoint 1e16 + 1 of a side
  // from 1e16 to 1e16 + 2 rounds to an end: one half would be the whole panel again, and the
  // refinement would split it for ever.
  const double x = 1e16;
  const std::string expected =
      "Error: Panel record 4 cannot be refined: its coordinates are too large for a side of "
      "length 2 to be halved.";
  CapacitanceExtractor long_12;
  hold_one_input_panel(long_12, make_panel({x, 0, 0}, {x + 2, 0, 0}, {x + 2, 1, 0}, {x, 1, 0}), 4);
  EXPECT_FALSE(long_12.subdivide_panel(long_12.panels[0]));
  EXPECT_EQ(expected, long_12.failure.message);
  CapacitanceExtractor long_14;
  hold_one_input_panel(long_14, make_panel({0, x, 5}, {1, x, 5}, {1, x + 2, 5}, {0, x + 2, 5}), 4);
  EXPECT_FALSE(long_14.subdivide_panel(long_14.panels[0]));
  EXPECT_EQ(expected, long_14.failure.message);
  // Nothing is appended or linked.
  EXPECT_EQ(1u, long_14.panel_count);
  EXPECT_EQ(1u, long_14.panels.size());
  EXPECT_FALSE(long_14.panels[0].is_split);

  // From 2^52 on they are 1 apart: a side of length 2 still has its midpoint.
  const double y = 4503599627370496.0;  // 2^52
  CapacitanceExtractor halvable;
  hold_one_input_panel(halvable, make_panel({0, y, 0}, {0, y + 2, 0}, {1, y + 2, 0}, {1, y, 0}), 1);
  ASSERT_TRUE(halvable.subdivide_panel(halvable.panels[0]));
  ASSERT_EQ(3u, halvable.panel_count);
  expect_point({0, y + 1, 0}, halvable.panels[1].vertices[1]);
  expect_point({0, y + 1, 0}, halvable.panels[2].vertices[0]);
}

TEST(Subdivision, PanelPositionsBeyondSigned32BitFail) {
  CapacitanceExtractor extractor;
  hold_one_input_panel(extractor, make_panel({0, 0, 0}, {2, 0, 0}, {2, 1, 0}, {0, 1, 0}), 1);
  // The last split that fits brings the count to 2^31 - 1, the largest signed 32-bit value: its
  // halves take the positions 2^31 - 3 and 2^31 - 2.
  extractor.panel_count = 2147483645u;
  ASSERT_TRUE(extractor.subdivide_panel(extractor.panels[0]));
  EXPECT_EQ(2147483645, extractor.panels[0].first_child);
  EXPECT_EQ(2147483646, extractor.panels[0].second_child);
  EXPECT_EQ(2147483647u, extractor.panel_count);
  EXPECT_FALSE(extractor.subdivide_panel(extractor.panels[1]));
  EXPECT_EQ(
      "Error: The refinement needs more than 2147483647 panels, more than panel positions can "
      "address.",
      extractor.failure.message);
  EXPECT_EQ(2147483647u, extractor.panel_count);
}

TEST(ReadPanelFile, FileNameWithControlCharactersStaysOnOneMessageLine) {
  char directory[] = "/tmp/vornax-name-XXXXXX";
  ASSERT_NE(nullptr, mkdtemp(directory));
  const std::string path = std::string(directory) + "/a\nb\tc.panels";
  FILE* file = std::fopen(path.c_str(), "w");
  ASSERT_NE(nullptr, file);
  std::fputs("title only\n", file);
  std::fclose(file);
  CapacitanceExtractor empty;
  EXPECT_FALSE(empty.read_panel_file(path));
  EXPECT_EQ(
      "Error: The panel file '" + std::string(directory) + "/a?b?c.panels' holds no panel records.",
      empty.failure.message);
  EXPECT_FALSE(empty.failure.on_standard_error);
  std::remove(path.c_str());
  rmdir(directory);
}

// vornax-fine's reader: every file vornax reads is read alike, conductors as runs of any length
// with any label, and the new faults (non-rectangles, overlaps, touching conductors) named.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <fstream>
#include <map>
#include <random>
#include <sstream>
#include <string>

#include "geometry/panel_reader.h"
#include "structure/panel_contacts.h"
#include "structure/panel_file_header.h"
#include "structure/panel_file_reader.h"

namespace {

std::string read(const std::string& text, FineStructure* structure = nullptr) {
  std::istringstream in(text);
  FineStructure unused;
  return read_fine_structure(in, "t.panels", structure ? *structure : unused);
}

/// Checks that `fine` holds the panels and the runs of conductor numbers of vornax's `panels`.
void expect_read_alike(const PanelVector& panels, const FineStructure& fine) {
  ASSERT_EQ(panels.size(), fine.panels.size());
  std::string runs, fine_runs;  // "number@first " for each run
  for (const FineConductor& run : fine.conductors) {
    fine_runs += run.label + "@" + std::to_string(run.first_panel) + " ";
  }
  uint32_t conductor = UINT32_MAX;
  for (uint32_t k = 0; k < panels.size(); ++k) {
    if (k == 0 || panels[k].conductor != panels[k - 1].conductor) {
      runs += std::to_string(panels[k].conductor) + "@" + std::to_string(k) + " ";
      conductor += 1;
    }
    EXPECT_EQ(conductor, fine.conductor_of_panel[k]);
    // The plane where vertices 1 and 3 agree, and the sides between them.
    const Point3* v = panels[k].vertices;
    const double p[3] = {v[0].x, v[0].y, v[0].z}, q[3] = {v[2].x, v[2].y, v[2].z};
    int axis = p[0] == q[0] ? 0 : p[1] == q[1] ? 1 : 2, u = (axis + 1) % 3, w = (axis + 2) % 3;
    const AxisRect& r = fine.panels[k];
    EXPECT_EQ(std::vector<double>({1.0 * axis, p[axis], std::min(p[u], q[u]), std::max(p[u], q[u]),
                                   std::min(p[w], q[w]), std::max(p[w], q[w])}),
              std::vector<double>({1.0 * r.axis, r.plane, r.lo[0], r.hi[0], r.lo[1], r.hi[1]}))
        << "panel " << k;
  }
  EXPECT_EQ(runs, fine_runs);
}

/// A unit square in the plane z = 0 from x = `x0`, labelled `label`.
std::string square(const std::string& label, const std::string& x0, const std::string& x1) {
  return "Q " + label + " " + x0 + " 0 0 " + x1 + " 0 0 " + x1 + " 1 0 " + x0 + " 1 0\n";
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
  // The panel files of tests/data and of examples/, by name: a folder may hold other files, such
  // as the Cap.txt that the README's first command leaves in examples/.
  const std::string data = std::string(VORNAX_TEST_DATA) + "/", examples = VORNAX_EXAMPLES "/";
  std::vector<std::string> paths;
  for (const char* name :
       {"bus2", "cube", "err_bad_number", "err_cut_short", "err_duplicate", "err_first_minus_one",
        "err_five_panels", "err_no_panels", "err_unhalvable_side", "err_unhalvable_side_far_end",
        "err_zero_size", "messy", "plates", "random5", "row17"}) {
    paths.push_back(data + name + ".panels");
  }
  for (const char* name : {"bus2x2", "bus4x4", "cube", "plates"}) {
    paths.push_back(examples + name + ".txt");
  }
  int alike = 0, same_message = 0;
  for (const std::string& path : paths) {
    const std::string name = path.substr(path.rfind('/') + 1);
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
  EXPECT_EQ(14, alike);  // 10 files of tests/data, the 4 examples
  EXPECT_EQ(3, same_message);
}

TEST(FineReader, ConductorsAreRunsOfAnyLengthWithAnyLabel) {
  // "7", "+7" and "007" are one number, "7.0" is a label of its own; "-1" counts from the start;
  // a label that comes back after another is another conductor.
  FineStructure s;
  ASSERT_EQ("", read(square("-1", "0", "1") + square("clk_a", "2", "3") + square("7", "4", "5") +
                         square("+7", "6", "7") + square("007", "8", "9") +
                         square("7.0", "10", "11") + square("clk_a", "12", "13"),
                     &s));
  const std::vector<std::string> labels = {"-1", "clk_a", "7", "7.0", "clk_a"};
  const uint32_t firsts[] = {0, 1, 2, 5, 6}, counts[] = {1, 1, 3, 1, 1};
  ASSERT_EQ(labels.size(), s.conductors.size());
  for (size_t c = 0; c < labels.size(); ++c) {
    EXPECT_EQ(labels[c], s.conductors[c].label);
    EXPECT_EQ(firsts[c], s.conductors[c].first_panel);
    EXPECT_EQ(counts[c], s.conductors[c].panel_count);
    for (uint32_t k = 0; k < counts[c]; ++k) EXPECT_EQ(c, s.conductor_of_panel[firsts[c] + k]);
  }
  // A panel the other way round, with its normal along x.
  ASSERT_EQ("", read("Q a 5 2 3  5 2 1  5 -1 1  5 -1 3", &s));
  EXPECT_EQ(0, s.panels[0].axis);
  EXPECT_EQ(5.0, s.panels[0].plane);
  EXPECT_EQ(std::vector<double>({-1, 2, 1, 3}),
            std::vector<double>(
                {s.panels[0].lo[0], s.panels[0].hi[0], s.panels[0].lo[1], s.panels[0].hi[1]}));
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
  for (const char* not_in_order : {"Q a 0 0 0 2 0 0 1 1 0 0 1 0", "Q a 0 0 0 1 0 0 1 1 0 1 0 0"}) {
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
  // The label is the record's second token, Q as well.
  FineStructure q;
  EXPECT_EQ("", read("Q Q 0 0 0 1 0 0 1 1 0 0 1 0 Q Q 0 0 1 1 0 1 1 1 1 0 1 1", &q));
  ASSERT_EQ(1u, q.conductors.size());
  EXPECT_EQ("Q", q.conductors[0].label);
  EXPECT_EQ(2u, q.conductors[0].panel_count);
  EXPECT_EQ("Error: The panel file 't.panels' holds no panel records.", read("q 1 0 0"));
}

TEST(FineReader, OverlapsAndTouchingConductorsAreNamed) {
  // Conductors apart by the smallest step of a double are apart.
  EXPECT_EQ("", read(square("a", "0", "1") + square("b", "1.0000000000000002", "2")));
  // Along an edge, at a corner, crossing: conductors named by label and first record.
  const std::string plate = square("a", "0", "1") + square("b", "5", "6");
  const std::string message =
      "Error: Conductors 'a' (from panel record 1) and 'a' (from panel record 3) touch: panel "
      "records 1 and 3 share a point, so they would be one conductor.";
  EXPECT_EQ(message, read(plate + "Q a 1 0 0 1 1 0 1 1 1 1 0 1"));
  EXPECT_EQ(message, read(plate + "Q a 1 1 0 2 1 0 2 2 0 1 2 0"));
  EXPECT_EQ(message, read(plate + "Q a .5 0 -1 .5 1 -1 .5 1 1 .5 0 1"));
  // Within one conductor only an overlap over an area is a fault.
  EXPECT_EQ("Error: Panel records 1 and 2 overlap over a positive area.",
            read(square("a", "0", "1") + square("a", ".5", "2")));
  EXPECT_EQ("", read(square("a", "0", "1") + square("a", "1", "2") +
                     "Q a .5 0 -1 .5 1 -1 .5 1 1 .5 0 1"));
}

TEST(FineReader, ContactsAreFoundAsBetweenAllPairs) {
  // Random panels on a coarse grid, so that many touch or overlap, against every pair in turn.
  std::mt19937 random(18);
  const uint32_t kRun = 20;     // panels per conductor
  int outcomes[3] = {0, 0, 0};  // none, touching, overlapping
  for (int trial = 0; trial < 300; ++trial) {
    std::uniform_int_distribution<int> at(0, 3 + trial % 100);
    FineStructure s;
    std::vector<std::array<double, 6>> box;  // x, y, z extents as lo, hi pairs
    for (uint32_t k = 0; k < 60; ++k) {
      AxisRect r;
      r.axis = at(random) % 3;
      r.plane = at(random);
      for (int side = 0; side < 2; ++side)
        r.hi[side] = (r.lo[side] = at(random)) + 1 + at(random) % 3;
      s.panels.push_back(r);
      s.conductor_of_panel.push_back(k / kRun);
      if (k % kRun == 0) s.conductors.push_back(FineConductor{"c", k, kRun});
      box.emplace_back();
      for (int side = 0; side < 3; ++side) {
        box.back()[2 * ((r.axis + side) % 3)] = side == 0 ? r.plane : r.lo[side - 1];
        box.back()[2 * ((r.axis + side) % 3) + 1] = side == 0 ? r.plane : r.hi[side - 1];
      }
    }
    std::string expected = "";
    for (uint32_t b = 0; b < 60 && expected.empty(); ++b) {
      for (uint32_t a = 0; a < b && expected.empty(); ++a) {
        bool meet = true, area = s.panels[a].axis == s.panels[b].axis;
        for (int i = 0; i < 6; i += 2) {
          meet = meet && box[a][i] <= box[b][i + 1] && box[b][i] <= box[a][i + 1];
          area = area && (box[a][i] == box[a][i + 1] ||
                          (box[a][i] < box[b][i + 1] && box[b][i] < box[a][i + 1]));
        }
        std::string pair = std::to_string(a + 1) + " and " + std::to_string(b + 1);
        if (meet && a / kRun != b / kRun) expected = "touch: panel records " + pair + " share";
        if (meet && area && a / kRun == b / kRun) expected = "Panel records " + pair + " overlap";
      }
    }
    std::string message = check_panel_contacts(s);
    outcomes[expected.empty() ? 0 : expected[0] == 't' ? 1 : 2] += 1;
    EXPECT_EQ(expected.empty(), message.empty()) << trial;
    EXPECT_NE(std::string::npos, message.find(expected)) << trial << ": " << message;
  }
  for (int count : outcomes) EXPECT_GT(count, 15);
}

TEST(PanelFileHeader, UnitAndMastersBeforeTheFirstRecordOnly) {
  auto header_of = [](const std::string& text, PanelFileHeader& header) {
    std::istringstream in(text);
    return read_panel_file_header(in, "h.txt", header);
  };
  PanelFileHeader header;
  // A title that merely starts like a declaration is a comment; lines from the first record on
  // are not read.
  ASSERT_EQ("", header_of("unit cube [0,1]^3, metres\nunit um\nmasters 3 1\nmasters of nothing\n"
                          "Q a 0 0 0 1 0 0 1 1 0 0 1 0\nunit m\n",
                          header));
  EXPECT_EQ("um", header.unit);
  EXPECT_EQ(2, header.unit_line);
  EXPECT_EQ((std::vector<uint32_t>{3, 1}), header.masters);
  EXPECT_EQ(3, header.masters_line);
  ASSERT_EQ("", header_of("unit cm2\nmasters 0\nmasters 2 2\nQ a\n", header));
  EXPECT_EQ("", header.unit);
  EXPECT_TRUE(header.masters.empty());
  EXPECT_EQ("h.txt:3: a second line declares the unit, after line 1",
            header_of("unit mm\n\nunit mm\n", header));
  EXPECT_EQ("h.txt:2: a second line declares the master conductors, after line 1",
            header_of("masters 1\nmasters 2\n", header));
}

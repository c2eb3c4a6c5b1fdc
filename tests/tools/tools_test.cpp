// vornax-gen: the structures it writes read back through the extractor's own reader, its
// committed examples, and its messages.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#include "../test_files.h"
#include "geometry/panel_reader.h"
#include "model/capacitance_extractor.h"
#include "program_run.h"
#include "tools/box_writer.h"
#include "tools/generator_arguments.h"
#include "tools/structure_generator.h"

using namespace tools_testing;  // NOLINT: the helpers of the companions' tests

namespace {

using Extent = std::array<double, 6>;  // x0 x1 y0 y1 z0 z1 of a box

/// Writes `structure`, reads it back with the extractor's reader and returns
/// the extent of each run of six records, checking every record's shape.
std::vector<Extent> read_boxes(const Structure& structure, uint32_t& conductor_count) {
  std::stringstream file;
  write_structure(file, structure);
  PanelVector panels;
  EXPECT_EQ("", read_panel_records(file, panels, conductor_count));
  EXPECT_EQ("", check_conductor_runs(panels));
  std::vector<Extent> boxes;
  for (uint32_t k = 0; k < panels.size(); ++k) {
    EXPECT_EQ(static_cast<int32_t>(k / 6 + 1), panels[k].conductor);
    // Vertex 3 opposite vertex 1: sides 1-2 and 4-3 are the same vector, and
    // vertices 1 and 3 differ in the two coordinates of the face's plane.
    const Point3* v = panels[k].vertices;
    EXPECT_EQ(v[1].x - v[0].x, v[2].x - v[3].x);
    EXPECT_EQ(v[1].y - v[0].y, v[2].y - v[3].y);
    EXPECT_EQ(v[1].z - v[0].z, v[2].z - v[3].z);
    EXPECT_EQ(1, (v[0].x == v[2].x) + (v[0].y == v[2].y) + (v[0].z == v[2].z));
    if (k % 6 == 0)
      boxes.push_back({HUGE_VAL, -HUGE_VAL, HUGE_VAL, -HUGE_VAL, HUGE_VAL, -HUGE_VAL});
    for (int c = 0; c < 4; ++c) {
      const double p[3] = {v[c].x, v[c].y, v[c].z};
      for (int a = 0; a < 3; ++a) {
        boxes.back()[2 * a] = std::min(boxes.back()[2 * a], p[a]);
        boxes.back()[2 * a + 1] = std::max(boxes.back()[2 * a + 1], p[a]);
      }
    }
  }
  return boxes;
}

}  // namespace

TEST(StructureGenerator, BoxesReadBackWithTheirStatedCoordinates) {
  uint32_t conductors = 0;
  EXPECT_EQ(std::vector<Extent>({{0, 2, 0, 2, 0, 2}}), read_boxes(cube_structure(2), conductors));
  EXPECT_EQ(1u, conductors);
  EXPECT_EQ(std::vector<Extent>({{0, 10, 0, 10, 0, 1}, {0, 10, 0, 10, 2, 3}}),
            read_boxes(plates_structure(10, 1, 1), conductors));
  EXPECT_EQ(2u, conductors);
  // K = 2, L = 5: lower wires along x at y 1-2 and 3-4, upper wires along y.
  EXPECT_EQ(std::vector<Extent>(
                {{0, 5, 1, 2, 0, 1}, {0, 5, 3, 4, 0, 1}, {1, 2, 0, 5, 2, 3}, {3, 4, 0, 5, 2, 3}}),
            read_boxes(bus_structure(2, 1), conductors));
  EXPECT_EQ(4u, conductors);
  EXPECT_EQ((Extent{0, 5 * 0.1, 3 * 0.1, 4 * 0.1, 0, 0.1}),
            read_boxes(bus_structure(2, 0.1), conductors)[1]);
}

TEST(StructureGenerator, NumbersReadBackExactlyAndTitlesSayTheUnit) {
  for (double value : {10.0, 0.5, 0.1 * 3, 1.0 / 3, 5e-324, 1.7976931348623157e308}) {
    EXPECT_EQ(value, std::strtod(format_number(value).c_str(), nullptr)) << value;
  }
  EXPECT_EQ("10", format_number(10.0));
  EXPECT_EQ("crossing bus 2 x 2, wires 1 wide, pitch 2, metres", bus_structure(2, 1.0).title);
  for (const Structure& s : {cube_structure(1.0), plates_structure(1, 2, 3), bus_structure(3, 0.25),
                             random_structure(3, 7)}) {
    EXPECT_EQ(", metres", s.title.substr(s.title.size() - 8)) << s.title;
    EXPECT_EQ(std::string::npos, (" " + s.title + " ").find(" Q ")) << s.title;
  }
}

TEST(StructureGenerator, RandomBoxesAreSeparateReproducibleAndOnAnEighthGrid) {
  uint32_t conductors = 0;
  std::vector<Extent> boxes = read_boxes(random_structure(300, 42), conductors);
  EXPECT_EQ(300u, conductors);
  ASSERT_EQ(300u, boxes.size());
  for (size_t a = 0; a < boxes.size(); ++a) {
    for (int c = 0; c < 6; ++c) EXPECT_EQ(boxes[a][c] * 8, std::floor(boxes[a][c] * 8));
    for (int c = 0; c < 6; c += 2) {
      EXPECT_GE(boxes[a][c + 1] - boxes[a][c], 1.0);
      EXPECT_LE(boxes[a][c + 1] - boxes[a][c], 3.0);
    }
    for (size_t b = 0; b < a; ++b) {
      double gap = -HUGE_VAL;  // the widest separation along any axis
      for (int c = 0; c < 6; c += 2) {
        gap = std::max({gap, boxes[b][c] - boxes[a][c + 1], boxes[a][c] - boxes[b][c + 1]});
      }
      EXPECT_GE(gap, 2.0) << a << " " << b;
    }
  }
  auto text = [](uint64_t seed) {
    std::stringstream file;
    write_structure(file, random_structure(5, seed));
    return file.str();
  };
  EXPECT_EQ(text(1), text(1));
  EXPECT_NE(text(1), text(2));
}

TEST(StructureGenerator, BadArgumentsAreRefusedWithTheirReason) {
  Structure structure;
  auto reason = [&structure](const std::string& line) {
    std::istringstream words(line);
    std::vector<std::string> arguments{std::istream_iterator<std::string>(words), {}};
    return structure_from_arguments(arguments, structure);
  };
  for (const char* line :
       {"", "sphere 1", "cube", "cube 1 2", "cube -1", "cube nan", "cube inf", "cube 0x1p3",
        "cube 1e999", "plates 1 1", "plates 1e308 1e308 1e308", "bus 0", "bus 2.5", "bus 100001",
        "bus 2 --scale", "bus 2 --size 1", "random 3", "random 3 --seed -1",
        "random 3 --seed 18446744073709551616"}) {
    EXPECT_NE("", reason(line)) << line;
  }
  EXPECT_EQ("SIDE '0' is not a positive decimal number.", reason("cube 0"));
  EXPECT_EQ("", reason("random 3 --seed 18446744073709551615"));
  EXPECT_EQ("", reason("bus 100000 --scale 1e-6"));
  EXPECT_EQ(200000u, structure.boxes.size());
}

TEST(GeneratorProgram, WritesTheCommittedExamplesAndRefusesWithStatusTwo) {
  const std::string gen = VORNAX_GEN_BINARY;
  const std::string examples = VORNAX_EXAMPLES;
  EXPECT_EQ(read_file(examples + "/cube.txt"), run_program(gen + " cube 1").out);
  EXPECT_EQ(read_file(examples + "/plates.txt"), run_program(gen + " plates 10 1 1").out);
  EXPECT_EQ(read_file(examples + "/bus2x2.txt"), run_program(gen + " bus 2").out);
  EXPECT_EQ(read_file(examples + "/bus4x4.txt"), run_program(gen + " bus 4").out);

  ProgramRun bad = run_program(gen + " bus 0");
  EXPECT_EQ(2, bad.status);
  EXPECT_EQ("", bad.out);
  EXPECT_EQ(0u, bad.err.find("vornax-gen: K '0' is not a whole number from 1 to 100000.\nusage:"));
}

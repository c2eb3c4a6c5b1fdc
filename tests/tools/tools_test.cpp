// The companion programs: structures from vornax-gen read back through the
// extractor's own reader, and pictures from vornax-view are well-formed SVG
// with one polygon per face or leaf and one legend entry per conductor.
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
#include "tools/box_writer.h"
#include "tools/generator_arguments.h"
#include "tools/structure_generator.h"
#include "tools/svg_picture.h"

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

struct ProgramRun {
  int status;       // exit status, -1 when killed
  std::string out;  // standard output
  std::string err;  // standard error
};

ProgramRun run_program(const std::string& command) {
  char dir[] = "/tmp/vornax-tools-XXXXXX";
  std::string d = mkdtemp(dir);
  int status = std::system((command + " >" + d + "/out 2>" + d + "/err").c_str());
  ProgramRun result{WIFEXITED(status) ? WEXITSTATUS(status) : -1, read_file(d + "/out"),
                    read_file(d + "/err")};
  std::system(("rm -rf " + d).c_str());
  return result;
}

std::string write_temp(const std::string& content) {
  char path[] = "/tmp/vornax-tools-XXXXXX";
  close(mkstemp(path));
  std::ofstream(path) << content;
  return path;
}

int count(const std::string& text, const std::string& what) {
  int n = 0;
  for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
  return n;
}

/// XML well-formedness as far as this SVG can break it: tags nest and close,
/// quoted attribute values hold no '<', and '&' starts a known entity.
::testing::AssertionResult well_formed(const std::string& xml) {
  std::vector<std::string> open;
  size_t at = xml.compare(0, 5, "<?xml") == 0 ? xml.find("?>") + 2 : 0;
  while ((at = xml.find_first_of("<&", at)) != std::string::npos) {
    if (xml[at] == '&') {
      std::string entity = xml.substr(at, xml.find(';', at) - at + 1);
      if (entity != "&amp;" && entity != "&lt;" && entity != "&gt;" && entity != "&quot;")
        return ::testing::AssertionFailure() << "bare & at " << at;
      at += 1;
      continue;
    }
    size_t end = xml.find('>', at);
    std::string tag = xml.substr(at + 1, end - at - 1);
    if (end == std::string::npos || tag.find('<') != std::string::npos || count(tag, "\"") % 2)
      return ::testing::AssertionFailure() << "broken tag at " << at;
    if (tag[0] == '/') {
      if (open.empty() || open.back() != tag.substr(1))
        return ::testing::AssertionFailure() << "unmatched <" << tag << ">";
      open.pop_back();
    } else if (tag.back() != '/') {
      open.push_back(tag.substr(0, tag.find(' ')));
    }
    at = end;
  }
  if (!open.empty()) return ::testing::AssertionFailure() << "<" << open.back() << "> not closed";
  return ::testing::AssertionSuccess();
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

TEST(Picture, FacesArePaintedFromTheFarthestAndTheDocumentIsWellFormed) {
  // The unit cube seen from above, from the side of -x and -y: the faces
  // through the far corner (1, 1, 0) are z = 0, x = 1 and y = 1.
  Picture picture;
  picture.faces = {{{{0, 0, 1}, {1, 0, 1}, {1, 1, 1}, {0, 1, 1}}, 0},
                   {{{0, 0, 0}, {0, 1, 0}, {0, 1, 1}, {0, 0, 1}}, 0},
                   {{{0, 1, 0}, {1, 1, 0}, {1, 1, 1}, {0, 1, 1}}, 1},
                   {{{0, 0, 0}, {1, 0, 0}, {1, 0, 1}, {0, 0, 1}}, 1},
                   {{{1, 0, 0}, {1, 1, 0}, {1, 1, 1}, {1, 0, 1}}, 2},
                   {{{0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {0, 1, 0}}, 2}};
  std::vector<PictureFace> sorted = picture.faces;
  sort_back_to_front(sorted);
  for (int k = 0; k < 3; ++k) {
    const Point3* c = sorted[k].corners;
    EXPECT_TRUE((c[0].z == 0 && c[2].z == 0) || (c[0].x == 1 && c[2].x == 1) ||
                (c[0].y == 1 && c[2].y == 1))
        << k;
  }
  picture.conductor_labels = {"7", "3", "7"};  // a number may come back after another
  picture.caption = "a <b> & \"c\" \x01\xff";
  std::string svg = render_svg(picture);
  EXPECT_TRUE(well_formed(svg));
  EXPECT_EQ(6, count(svg, "<polygon"));
  EXPECT_EQ(3, count(svg, "class=\"legend-entry\""));
  EXPECT_NE(std::string::npos, svg.find("a &lt;b&gt; &amp; &quot;c&quot; ??"));
  // Labels as they are, escaped, in a legend wide enough for the longest.
  picture.conductor_labels[2] = "ROW[12]/A_RWL<3>";
  svg = render_svg(picture);
  EXPECT_TRUE(well_formed(svg));
  EXPECT_NE(std::string::npos, svg.find(">ROW[12]/A_RWL&lt;3&gt;</text>"));
}

TEST(ViewerProgram, OnePolygonPerFaceOrLeafAndOneLegendEntryPerConductor) {
  const std::string view = VORNAX_VIEW_BINARY;
  const std::string bus = std::string(VORNAX_EXAMPLES) + "/bus2x2.txt";
  ProgramRun faces = run_program(view + " " + bus);
  EXPECT_EQ(0, faces.status);
  EXPECT_TRUE(well_formed(faces.out));
  EXPECT_EQ(24, count(faces.out, "<polygon"));
  EXPECT_EQ(4, count(faces.out, "class=\"legend-entry\""));

  // Every pair of faces of a unit cube is accepted unsplit: each side (1) is
  // below 1.5 times the centre distance (at least sqrt(1/2)).
  ProgramRun cube = run_program(view + " --leaves " + VORNAX_EXAMPLES + "/cube.txt");
  EXPECT_EQ(0, cube.status);
  EXPECT_EQ(6, count(cube.out, "<polygon"));

  ProgramRun leaves = run_program(view + " " + bus + " --leaves");
  EXPECT_EQ(0, leaves.status);
  EXPECT_TRUE(well_formed(leaves.out));
  CapacitanceExtractor extractor;
  ASSERT_TRUE(extractor.read_panel_file(bus));
  ASSERT_TRUE(extractor.refine_all_pairs());
  int unsplit = 0;
  for (uint32_t k = 0; k < extractor.panels.size(); ++k) unsplit += !extractor.panels[k].is_split;
  EXPECT_GT(unsplit, 24);
  EXPECT_EQ(unsplit, count(leaves.out, "<polygon"));
  EXPECT_EQ(4, count(leaves.out, "class=\"legend-entry\""));
}

TEST(ViewerProgram, FilesOfEitherExtractorAndTheirErrorsOutsideThePicture) {
  const std::string view = VORNAX_VIEW_BINARY;
  const std::string cube = read_file(std::string(VORNAX_EXAMPLES) + "/cube.txt");
  // Five faces of the cube: vornax-fine's conductor, named as it is; vornax refuses it, and
  // its leaves with it.
  const size_t opening = cube.find("Q 1"), closing = cube.rfind("Q 1");
  std::string five = write_temp("unit um\n" + cube.substr(opening, closing - opening) +
                                "Q clk_a  5 5 5  6 5 5  6 6 5  5 6 5\n");
  ProgramRun drawn = run_program(view + " " + five);
  EXPECT_EQ(0, drawn.status) << drawn.err;
  EXPECT_EQ(6, count(drawn.out, "<polygon"));
  EXPECT_NE(std::string::npos, drawn.out.find(">clk_a</text></g>"));
  const std::string message =
      "Error: Conductor 1 (number 1, from panel record 1) has 5 panel records; every conductor "
      "must consist of exactly six consecutive panel records.\n";
  std::string five_numbered = write_temp(cube.substr(0, cube.rfind("Q 1")));
  ProgramRun viewed = run_program(view + " --leaves " + five_numbered);
  EXPECT_EQ(1, viewed.status);
  EXPECT_EQ("", viewed.out);
  EXPECT_EQ(message, viewed.err);
  EXPECT_EQ("\n" + message, run_program(std::string(VORNAX_BINARY) + " " + five_numbered).out);
  ProgramRun flat = run_program(view + " " + write_temp("Q a 0 0 0 1 0 0 1 0 0 0 0 0\n"));
  EXPECT_EQ(1, flat.status);
  EXPECT_EQ(
      "Error: Panel record 1: the panel has no area: vertices 1 and 3 have the same z "
      "coordinate.\n",
      flat.err);

  // The first face of the second plate given again instead of the second
  // face is only found by refinement, after reading has passed it.
  std::string plates = read_file(std::string(VORNAX_EXAMPLES) + "/plates.txt");
  size_t first = plates.find("Q 2"), second = plates.find("Q 2", first + 1);
  std::string twice = write_temp(plates.replace(second, plates.find('\n', second) - second,
                                                plates.substr(first, second - first - 1)));
  ProgramRun duplicated = run_program(view + " --leaves " + twice);
  EXPECT_EQ(1, duplicated.status);
  EXPECT_EQ("", duplicated.out);
  EXPECT_EQ("\nPotentialEstimation is wrong (r=0)!\n", duplicated.err);
  EXPECT_EQ(0, run_program(view + " " + twice).status);

  ProgramRun missing = run_program(view + " /nonexistent/panels.txt");
  EXPECT_EQ(1, missing.status);
  EXPECT_EQ("vornax-view: cannot open the panel file '/nonexistent/panels.txt'.\n", missing.err);
  EXPECT_EQ("Error: Could not create file.\n",
            run_program(view + " --leaves /nonexistent/panels.txt").err);
  std::remove(five.c_str());
  std::remove(five_numbered.c_str());
  std::remove(twice.c_str());

#ifndef __SANITIZE_ADDRESS__  // the sanitizer build cannot run under ulimit -v
  // Scaled by 1000, the bus refines into far more panels than 256 MiB hold.
  std::string huge =
      write_temp(run_program(std::string(VORNAX_GEN_BINARY) + " bus 2 --scale 1000").out);
  ProgramRun exhausted = run_program("ulimit -v 262144 && " + view + " --leaves " + huge);
  EXPECT_EQ(1, exhausted.status);
  EXPECT_EQ("", exhausted.out);
  EXPECT_EQ("Not enough memory!!\n\n", exhausted.err);
  std::remove(huge.c_str());
#endif

  for (const char* arguments : {"", " a b", " a --bogus", " --leaves"}) {
    ProgramRun bad = run_program(view + arguments);
    EXPECT_EQ(2, bad.status) << arguments;
    EXPECT_EQ(0u, bad.err.find("usage: vornax-view PANELFILE [--leaves]")) << arguments;
  }
}

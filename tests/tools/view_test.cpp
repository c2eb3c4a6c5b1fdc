// vornax-view: pictures painted from the farthest face, well-formed SVG, one polygon per face
// or leaf and one legend entry per conductor, named ones included, and the messages for files it
// cannot draw.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "model/capacitance_extractor.h"
#include "program_run.h"
#include "tools/svg_picture.h"

using namespace tools_testing;  // NOLINT: the helpers of the companions' tests

namespace {

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

#pragma once
// The fixture of the tests that run vornax-layout through KLayout on layouts drawn by
// draw_layouts.py, and what they read back from its panel files.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "../test_files.h"
#include "../tools/program_run.h"
#include "tools/layout/klayout_runner.h"

// Named, so that Panel here is not vornax's Panel of the other tests.
namespace klayout_fixture {

using tools_testing::ProgramRun;

/// A panel as read back: its conductor's label and its corners.
struct Panel {
  std::string label;              // conductor label
  std::array<double, 12> corner;  // x1 y1 z1 ... x4 y4 z4
};

inline std::vector<Panel> read_panels(const std::string& text) {
  std::istringstream in(text);
  std::vector<Panel> panels;
  for (std::string token; in >> token;) {
    if (token != "Q") continue;
    panels.emplace_back();
    in >> panels.back().label;
    for (double& c : panels.back().corner) in >> c;
  }
  return panels;
}

/// The labels of the conductors, one per run of panels, in file order.
inline std::vector<std::string> conductor_labels(const std::vector<Panel>& panels) {
  std::vector<std::string> labels;
  for (size_t k = 0; k < panels.size(); ++k) {
    if (k == 0 || panels[k].label != panels[k - 1].label) labels.push_back(panels[k].label);
  }
  return labels;
}

using Bounds = std::array<double, 6>;  // x0 x1 y0 y1 z0 z1 of a panel

/// Each conductor (a run of one label) as its panels' sorted bounds, the conductors sorted:
/// what stays the same whatever the names and the order of panels and corners.
inline std::vector<std::vector<Bounds>> canonical(const std::vector<Panel>& panels) {
  std::vector<std::vector<Bounds>> conductors;
  for (size_t k = 0; k < panels.size(); ++k) {
    if (k == 0 || panels[k].label != panels[k - 1].label) conductors.emplace_back();
    Bounds b;
    for (int a = 0; a < 3; ++a) {
      const double* c = panels[k].corner.data() + a;
      b[2 * a] = std::min({c[0], c[3], c[6], c[9]});
      b[2 * a + 1] = std::max({c[0], c[3], c[6], c[9]});
    }
    conductors.back().push_back(b);
  }
  for (auto& c : conductors) std::sort(c.begin(), c.end());
  std::sort(conductors.begin(), conductors.end());
  return conductors;
}

/// Area and, by the divergence theorem over the faces normal to x, enclosed volume of the
/// panels labelled `label`; the volume is right only if every panel's corners turn
/// counterclockwise seen from outside.
inline void area_and_volume(const std::vector<Panel>& panels, const std::string& label,
                            double& area, double& volume) {
  area = volume = 0;
  for (const Panel& p : panels) {
    if (p.label != label) continue;
    const double* c = p.corner.data();
    double e1[3], e2[3];
    for (int a = 0; a < 3; ++a) e1[a] = c[3 + a] - c[a], e2[a] = c[9 + a] - c[a];
    double normal[3] = {e1[1] * e2[2] - e1[2] * e2[1], e1[2] * e2[0] - e1[0] * e2[2],
                        e1[0] * e2[1] - e1[1] * e2[0]};
    area += std::abs(normal[0]) + std::abs(normal[1]) + std::abs(normal[2]);
    volume += c[0] * normal[0];
  }
}

class LayoutThroughKLayout : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/vornax-layout-test-XXXXXX";
    dir = mkdtemp(pattern);
    write("stack.txt",
          "metal m1 1/0 0 1\nmetal m2 2/0 2 1\nvia v1 3/0 m1 m2\n"
          "label 101/0 m1\nlabel 102/0 m2\n");
  }
  void TearDown() override { std::system(("rm -rf " + dir).c_str()); }

  void write(const std::string& name, const std::string& text) {
    std::ofstream(dir + "/" + name) << text;
  }

  /// Runs `command` in the test's folder.
  ProgramRun run(const std::string& command) {
    int status = std::system(("cd " + dir + " && " + command + " >out 2>err").c_str());
    return ProgramRun{WIFEXITED(status) ? WEXITSTATUS(status) : -1, read_file(dir + "/out"),
                      read_file(dir + "/err")};
  }

  /// Draws test layouts of draw_layouts.py into `files`, in one run of KLayout.
  void draw(const std::string& files) {
    ProgramRun drawn =
        run("klayout -b -r " VORNAX_LAYOUT_TESTS "/draw_layouts.py -rd 'files=" + files + "'");
    ASSERT_EQ(0, drawn.status) << drawn.out << drawn.err;
  }

  ProgramRun convert(const std::string& arguments) {
    return run(VORNAX_LAYOUT_BINARY " " + arguments);
  }

  std::string dir;  // the test's own folder, removed afterwards
};

}  // namespace klayout_fixture

#define NEEDS_KLAYOUT() \
  if (find_klayout().empty()) GTEST_SKIP() << "klayout is not installed (Debian package klayout)"

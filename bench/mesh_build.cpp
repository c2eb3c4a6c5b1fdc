// vornax-fine's mesh stage on a structure file, with the time of each step:
//   mesh_build FILE [LAST] [pairs|medium]
// reads the file, finds the feature scales (through the face hierarchy, or with `pairs` every
// pair of faces, as before the hierarchy), and builds the level meshes 1 .. LAST (default 3).
// Prints the faces, the panels of each level and the seconds of each step. With `medium`, the
// faces a level solves in the file's medium (dielectric pieces too) meshed as vornax-fine meshes
// them, and the five faces with the most panels of the last level. Not installed.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>

#include "fine/mesh/feature_scale.h"
#include "fine/mesh/graded_mesh.h"
#include "fine/mesh/middle_grading.h"
#include "fine/mesh/solve_faces.h"
#include "structure/structure_file.h"

namespace {

double seconds_since(std::chrono::steady_clock::time_point start) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

/// The feature scales by their definition, face against face.
std::vector<double> scales_pair_by_pair(const FineStructure& s) {
  const size_t n = s.panels.size();
  std::vector<SpaceBox> boxes(n);
  for (size_t f = 0; f < n; ++f) boxes[f] = space_box(s.panels[f]);
  std::vector<double> scale;
  for (size_t f = 0; f < n; ++f) {
    const AxisRect& r = s.panels[f];
    const double a = r.hi[0] - r.lo[0], b = r.hi[1] - r.lo[1];
    double nearest = std::max(a, b);
    for (size_t g = 0; g < n; ++g) {
      const double gap = box_gap(boxes[f], boxes[g]);
      const bool own = s.conductor_of_panel[g] == s.conductor_of_panel[f];
      if (gap > 0.0 && (!own || gap >= kOwnDetail * std::min(a, b)))
        nearest = std::min(nearest, gap);
    }
    scale.push_back(std::min(a, nearest));
    scale.push_back(std::min(b, nearest));
  }
  return scale;
}

/// The faces with the most panels in `mesh`, with their extents and feature scales.
void print_largest_faces(const FineStructure& s, const std::vector<double>& feature,
                         const std::vector<double>& middle, const LevelMesh& mesh) {
  std::vector<size_t> order(s.panels.size());
  for (size_t f = 0; f < order.size(); ++f) order[f] = f;
  auto panels = [&](size_t f) { return mesh.face_first[f + 1] - mesh.face_first[f]; };
  std::sort(order.begin(), order.end(), [&](size_t a, size_t b) { return panels(a) > panels(b); });
  for (size_t k = 0; k < std::min<size_t>(5, order.size()); ++k) {
    const size_t f = order[k];
    const AxisRect& r = s.panels[f];
    std::printf("  face %zu (axis %d at %g, %g x %g, scales %g, %g, middle %g, %g): %u panels\n", f,
                r.axis, r.plane, r.hi[0] - r.lo[0], r.hi[1] - r.lo[1], feature[2 * f],
                feature[2 * f + 1], middle[2 * f], middle[2 * f + 1], panels(f));
  }
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2 || argc > 4) {
    std::fprintf(stderr, "usage: mesh_build FILE [LAST] [pairs]\n");
    return 2;
  }
  const int32_t last = argc > 2 ? std::atoi(argv[2]) : 3;
  const bool pairs = argc > 3 && std::string(argv[3]) == "pairs";
  const bool medium = argc > 3 && std::string(argv[3]) == "medium";
  auto start = std::chrono::steady_clock::now();
  std::ifstream in(argv[1]);
  FineStructure structure;
  StructureFormat format;
  const std::string error = read_structure(in, argv[1], WindowFaces::kOpen, structure, format);
  if (!error.empty()) {
    std::fprintf(stderr, "%s\n", error.c_str());
    return 1;
  }
  if (medium) {
    // As the extraction sees it: pieces are faces of no conductor.
    structure = solve_faces(structure, 1.0).structure;
    for (uint32_t& c : structure.conductor_of_panel)
      if (c == structure.conductors.size()) c = kNoConductor;
  }
  const double read = seconds_since(start);
  start = std::chrono::steady_clock::now();
  MiddleGrading middle;
  if (medium) middle = middle_grading(structure.panels, structure.conductor_of_panel);
  const std::vector<double> feature = pairs    ? scales_pair_by_pair(structure)
                                      : medium ? whole_feature_scales(middle)
                                               : feature_scales(structure);
  std::printf("faces %zu, read %.3f s, feature scales %.3f s\n", structure.panels.size(), read,
              seconds_since(start));
  for (int32_t m = 1; m <= last; ++m) {
    start = std::chrono::steady_clock::now();
    const LevelMesh mesh = make_level_mesh(structure, feature, m, medium ? &middle : nullptr);
    std::printf("level %d: %zu panels, %.3f s\n", m, mesh.panels.size(), seconds_since(start));
    if (!medium || m != last) continue;
    std::vector<double> face_middle;  // per face, its whole face's middle scales
    for (uint32_t w : middle.whole.whole_of) {
      face_middle.push_back(middle.scale[2 * w]);
      face_middle.push_back(middle.scale[2 * w + 1]);
    }
    print_largest_faces(structure, feature, face_middle, mesh);
  }
  return 0;
}

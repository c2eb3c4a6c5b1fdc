// vornax-fine's mesh stage on a structure file, with the time of each step:
//   mesh_build FILE [LAST] [pairs|medium]
// reads the file, finds the feature scales (through the face hierarchy, or with `pairs` every
// pair of faces, as before the hierarchy), and builds the level meshes 1 .. LAST (default 3).
// Prints the faces, the panels of each level and the seconds of each step. With `medium`, the
// faces a level solves in the file's medium (dielectric pieces too) meshed as vornax-fine meshes
// them, and the five faces with the most panels of the last level (MESH_BUILD_TOP=N: N faces).
// MESH_BUILD_MASTERS=1 grades the mesh by distance from the file's master nets, as a run does
// (MESH_BUILD_MASTERS=A,B,... from the nets named);
// MESH_BUILD_SCALES=1 prints the ten whole faces of the smallest scales against their size with
// the nearest face, and the last level's panels by conductor and by scale. Not installed.
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>

#include "fine/mesh/feature_scale.h"
#include "fine/mesh/graded_mesh.h"
#include "fine/mesh/master_grading.h"
#include "fine/mesh/middle_grading.h"
#include "fine/mesh/solve_faces.h"
#include "structure/structure_file.h"
#include "structure_of_file.h"

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
  const char* top = std::getenv("MESH_BUILD_TOP");  // how many to print, 5 if not set
  for (size_t k = 0; k < std::min<size_t>(top ? std::atoi(top) : 5, order.size()); ++k) {
    const size_t f = order[k];
    const AxisRect& r = s.panels[f];
    std::printf("  face %zu (axis %d at %g, %g x %g, scales %g, %g, middle %g, %g): %u panels\n", f,
                r.axis, r.plane, r.hi[0] - r.lo[0], r.hi[1] - r.lo[1], feature[2 * f],
                feature[2 * f + 1], middle[2 * f], middle[2 * f + 1], panels(f));
  }
}

/// The ten whole faces of the smallest feature scale against their longer side, each with the
/// nearest face it does not touch (found face against face: for a look at what sets the mesh).
void print_smallest_scales(const MiddleGrading& middle, const std::vector<double>& whole_scale) {
  const std::vector<AxisRect>& faces = middle.whole.rect;
  auto longer = [&](size_t f) {
    return std::max(faces[f].hi[0] - faces[f].lo[0], faces[f].hi[1] - faces[f].lo[1]);
  };
  auto relative = [&](size_t f) {
    return std::min(whole_scale[2 * f], whole_scale[2 * f + 1]) / longer(f);
  };
  std::vector<size_t> order(faces.size());
  for (size_t f = 0; f < order.size(); ++f) order[f] = f;
  std::sort(order.begin(), order.end(),
            [&](size_t a, size_t b) { return relative(a) < relative(b); });
  auto describe = [&](size_t f) {
    const AxisRect& r = faces[f];
    std::printf("face of %d, axis %d at %g, [%g, %g] x [%g, %g]", int(middle.whole.owner[f]),
                r.axis, r.plane, r.lo[0], r.hi[0], r.lo[1], r.hi[1]);
  };
  for (size_t k = 0; k < std::min<size_t>(10, order.size()); ++k) {
    const size_t f = order[k];
    const SpaceBox box = space_box(faces[f]);
    size_t nearest = f;
    double best = longer(f);
    for (size_t g = 0; g < faces.size(); ++g) {
      const double gap = box_gap(box, space_box(faces[g]));
      if (gap > 0.0 && gap < best) best = gap, nearest = g;
    }
    std::printf("  scales %g, %g: ", whole_scale[2 * f], whole_scale[2 * f + 1]);
    describe(f);
    std::printf("\n    nearest %g: ", best);
    describe(nearest);
    std::printf("\n");
  }
}

/// The conductors named in `names`, separated by commas.
std::vector<int32_t> named_nets(const FineStructure& s, const std::string& names) {
  std::vector<int32_t> nets;
  std::string rest = names + ",";
  for (size_t comma = rest.find(','); comma != std::string::npos; comma = rest.find(',')) {
    for (size_t c = 0; c < s.conductors.size(); ++c)
      if (s.conductors[c].label == rest.substr(0, comma)) nets.push_back(static_cast<int32_t>(c));
    rest.erase(0, comma + 1);
  }
  return nets;
}

/// The panels of `mesh` by the faces' conductor (the pieces last) and by their smaller scale.
void print_panels_by_owner(const FineStructure& s, const std::vector<double>& feature,
                           const LevelMesh& mesh) {
  const size_t conductors = s.conductors.size();
  std::vector<double> by_owner(conductors + 1), by_decade(12);
  for (size_t f = 0; f < s.panels.size(); ++f) {
    const double panels = mesh.face_first[f + 1] - mesh.face_first[f];
    const uint32_t owner = s.conductor_of_panel[f];
    by_owner[owner == kNoConductor ? conductors : owner] += panels;
    const double scale = std::min(feature[2 * f], feature[2 * f + 1]);
    by_decade[std::min(11, std::max(0, static_cast<int>(-std::log10(scale))))] += panels;
  }
  for (size_t c = 0; c <= conductors; ++c) {
    const char* name = c < conductors ? s.conductors[c].label.c_str() : "(pieces)";
    std::printf("  %s: %.0f panels\n", name, by_owner[c]);
  }
  for (int32_t k = 0; k < 12; ++k) {
    if (by_decade[k] > 0)
      std::printf("  scale 1e-%d to 1e-%d: %.0f panels\n", k + 1, k, by_decade[k]);
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
  FineStructure structure;
  if (!structure_of_file(argv[1], structure)) return 1;
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
  std::vector<double> feature = pairs    ? scales_pair_by_pair(structure)
                                : medium ? whole_feature_scales(middle)
                                         : feature_scales(structure);
  // With MESH_BUILD_MASTERS set, graded by distance from master nets, as a run is.
  if (const char* names = std::getenv("MESH_BUILD_MASTERS")) {
    std::vector<int32_t> masters(structure.master_nets.begin(), structure.master_nets.end());
    if (std::string(names) != "1") masters = named_nets(structure, names);
    feature = master_graded_scales(structure.panels, structure.conductor_of_panel, masters,
                                   static_cast<int32_t>(structure.conductors.size()), feature);
  }
  if (medium && std::getenv("MESH_BUILD_SCALES") != nullptr)
    print_smallest_scales(middle, feature_scales(middle.whole.rect, middle.whole.owner));
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
    if (std::getenv("MESH_BUILD_SCALES") != nullptr)
      print_panels_by_owner(structure, feature, mesh);
  }
  return 0;
}

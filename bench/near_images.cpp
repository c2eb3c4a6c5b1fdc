// near_images: the near coefficients of one level of a structure in its medium, as vornax-fine
// computes them (its mesh graded by the file's master nets, the stack's clusters), timed in CPU
// seconds of the process. Not installed.
//
//   near_images FILE LEVEL KERNEL_TOLERANCE [THREADS] [dump|compare PATH]
//
// Prints the panels, the near coefficients, the CPU seconds and the microseconds per coefficient.
// `dump PATH` writes the coefficients' values (binary); `compare PATH` reads such a file made on
// the same level and prints the largest difference of a coefficient against the largest entry of
// its row, for the rows of the potential and those of the normal field.
#include <time.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <string>

#include "fine/clusters/cluster_tree.h"
#include "fine/clusters/interaction_lists.h"
#include "fine/media/layered_kernel.h"
#include "fine/mesh/feature_scale.h"
#include "fine/mesh/graded_mesh.h"
#include "fine/mesh/master_grading.h"
#include "fine/mesh/middle_grading.h"
#include "fine/mesh/solve_faces.h"
#include "fine/solve/near_rows.h"
#include "fine/solve/solve_level.h"
#include "structure/structure_file.h"
#include "structure_of_file.h"

namespace {

double process_cpu() {
  timespec t;
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
  return t.tv_sec + 1e-9 * t.tv_nsec;
}

/// Prints the largest change of a coefficient of `near` from those in the file at `path` (made
/// on the same level), against the largest entry of its row, for the potential's rows and the
/// normal field's apart (a piece's own entry is 0).
void compare_with(const NearRows& near, const NearMedium& medium, const ClusterTree& tree,
                  const std::string& path) {
  const int64_t count = near.row_start[near.n];
  std::vector<double> old(count);
  std::ifstream old_in(path, std::ios::binary);
  old_in.read(reinterpret_cast<char*>(old.data()), count * sizeof(double));
  double largest[2] = {0, 0};
  int64_t changed = 0;
  for (int32_t i = 0; i < near.n; ++i) {
    double row_size = 0;
    for (int64_t e = near.row_start[i]; e < near.row_start[i + 1]; ++e) {
      row_size = std::max(row_size, std::fabs(old[e]));
    }
    const int kind = medium.normal_row.empty() ? 0 : medium.normal_row[tree.panel[i]];
    for (int64_t e = near.row_start[i]; e < near.row_start[i + 1]; ++e) {
      const double diff = std::fabs(near.value[e] - old[e]);
      if (diff > 0) ++changed;
      largest[kind] = std::max(largest[kind], diff / row_size);
    }
  }
  std::printf(
      "changed %lld; largest change against the row's largest entry: potential %.3g, "
      "normal field %.3g\n",
      static_cast<long long>(changed), largest[0], largest[1]);
}

/// With NEAR_IMAGES_ROWS=1: the near coefficients by the kind of their row's panel (of a master,
/// of another conductor, of a dielectric piece) and by its longer side in powers of two.
void print_rows_by_kind(const LevelMesh& mesh, const ClusterTree& tree, const NearRows& near,
                        const std::vector<int32_t>& masters, uint32_t no_conductor) {
  if (std::getenv("NEAR_IMAGES_ROWS") == nullptr) return;
  const char* names[3] = {"master", "other conductor", "piece"};
  double rows[3][40] = {}, entries[3][40] = {};
  for (int32_t i = 0; i < near.n; ++i) {
    const MeshPanel& p = mesh.panels[tree.panel[i]];
    const bool master = std::count(masters.begin(), masters.end(), p.conductor) > 0;
    const int kind = p.conductor == no_conductor ? 2 : master ? 0 : 1;
    const double longer = std::max(p.rect.hi[0] - p.rect.lo[0], p.rect.hi[1] - p.rect.lo[1]);
    const int bin = std::min(39, std::max(0, 20 + static_cast<int>(std::floor(std::log2(longer)))));
    rows[kind][bin] += 1;
    entries[kind][bin] += near.row_start[i + 1] - near.row_start[i];
  }
  for (int kind = 0; kind < 3; ++kind)
    for (int bin = 0; bin < 40; ++bin)
      if (rows[kind][bin] > 0)
        std::printf("  %s, longer side 2^%d: %.0f rows, %.0f coefficients (%.0f a row)\n",
                    names[kind], bin - 20, rows[kind][bin], entries[kind][bin],
                    entries[kind][bin] / rows[kind][bin]);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 4) {
    std::fprintf(stderr,
                 "usage: near_images FILE LEVEL KERNEL_TOLERANCE [THREADS] [dump|compare PATH]\n");
    return 2;
  }
  const int32_t m = std::atoi(argv[2]);
  const double tolerance = std::atof(argv[3]);
  const int32_t threads = argc > 4 ? std::atoi(argv[4]) : 1;
  const std::string mode = argc > 6 ? argv[5] : "";
  const std::string path = argc > 6 ? argv[6] : "";
  FineStructure structure;
  if (!structure_of_file(argv[1], structure)) return 1;
  const SolveFaces faces = solve_faces(structure, 1.0);
  if (faces.uniform) {
    std::fprintf(stderr, "near_images: the structure has no layers\n");
    return 1;
  }
  LayeredKernel kernel(faces.stack, tolerance);
  std::vector<int32_t> masters(structure.master_nets.begin(), structure.master_nets.end());
  const int32_t conductors = static_cast<int32_t>(structure.conductors.size());
  std::vector<uint32_t> owner = faces.structure.conductor_of_panel;
  for (uint32_t& c : owner) {
    if (c == faces.no_conductor) c = kNoConductor;
  }
  LevelSystem system{&faces, &kernel, masters, {}};
  system.middle = middle_grading(faces.structure.panels, owner);
  const std::vector<double> feature = master_graded_scales(
      faces.structure.panels, owner, masters, conductors, whole_feature_scales(system.middle));
  const LevelMesh mesh = make_level_mesh(faces.structure, feature, m, growing_middle(&system));
  const MergedStack merged = merge_equal_neighbours(faces.stack);
  NearMedium medium;
  medium.kernel = &kernel;
  medium.layers = static_cast<int32_t>(faces.stack.permittivity.size());
  std::vector<int32_t> group(mesh.panels.size());
  medium.layer.resize(mesh.panels.size());
  medium.normal_row.resize(mesh.panels.size());
  for (size_t f = 0; f + 1 < mesh.face_first.size(); ++f) {
    for (uint32_t p = mesh.face_first[f]; p < mesh.face_first[f + 1]; ++p) {
      medium.layer[p] = faces.medium[f].layer;
      group[p] = merged.merged_of[faces.medium[f].layer];
      medium.normal_row[p] = faces.medium[f].piece ? 1 : 0;
    }
  }
  if (faces.symmetric) medium.normal_row.clear();
  ClusterTree tree(mesh, 8, &group, true);
  const InteractionLists lists = make_interaction_lists(tree, LevelSettings().separation);
  std::vector<int32_t> layers = medium.layer;
  std::sort(layers.begin(), layers.end());
  layers.erase(std::unique(layers.begin(), layers.end()), layers.end());
  kernel.make_pairs(layers, threads);
  const double start = process_cpu();
  const NearRows near = make_near_rows(mesh, tree, lists, threads, medium);
  const double cpu = process_cpu() - start;
  const int64_t count = near.row_start[near.n];
  std::printf("panels %zu, near coefficients %lld, CPU %.3f s, %.3f us each\n", mesh.panels.size(),
              static_cast<long long>(count), cpu, 1e6 * cpu / count);
  print_rows_by_kind(mesh, tree, near, masters, faces.no_conductor);
  if (mode == "dump") {
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(near.value.data()), count * sizeof(double));
  } else if (mode == "compare") {
    compare_with(near, medium, tree, path);
  }
  return 0;
}

// fine_levels: vornax-fine's levels with chosen settings, one line each (panels, stored near
// coefficients, far pairs, iterations, wall time, the first entries of the matrix), for studies
// of its accuracy and cost. Not installed.
//
// usage: fine_levels PANELFILE LAST [DEGREE SEPARATION LEAF KEEP THREADS TOLERANCE FIRST
//                                    ITERATION_DEGREE]
// With FINE_LEVELS_DUMP=PREFIX set, each level's whole matrix goes to PREFIXm.txt. With
// FINE_LEVELS_GROWTH=G set, the level after m is round(G m) (at least m + 1) instead of m + 1:
// 1.4 gives vornax-fine's own sequence 1, 2, 3, 4, 6, 8, 11, ...
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iostream>

#include "common/instruction_set.h"
#include "fine/mesh/feature_scale.h"
#include "fine/solve/solve_level.h"
#include "structure/panel_file_reader.h"

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(stderr,
                 "usage: fine_levels PANELFILE LAST [DEGREE SEPARATION LEAF KEEP THREADS "
                 "TOLERANCE FIRST ITERATION_DEGREE]\n");
    return 2;
  }
  std::ifstream in(argv[1]);
  FineStructure s;
  std::string e = read_fine_structure(in, argv[1], s);
  if (!e.empty()) {
    std::cerr << e << "\n";
    return 1;
  }
  std::vector<double> feature = feature_scales(s);
  LevelSettings settings;
  settings.instruction_set = best_instruction_set();
  int max_level = argc > 2 ? std::atoi(argv[2]) : 3;
  if (argc > 3) settings.highest_degree = std::atoi(argv[3]);
  if (argc > 4) settings.separation = std::atof(argv[4]);
  if (argc > 5) settings.leaf_size = std::atoi(argv[5]);
  if (argc > 6) settings.factor_keep = std::atof(argv[6]);
  if (argc > 7) settings.threads = std::atoi(argv[7]);
  if (argc > 8) settings.tolerance = std::atof(argv[8]);
  int min_level = argc > 9 ? std::atoi(argv[9]) : 1;
  if (argc > 10) settings.iteration_degree = std::atoi(argv[10]);
  const double growth = getenv("FINE_LEVELS_GROWTH") ? std::atof(getenv("FINE_LEVELS_GROWTH")) : 0;
  auto next = [&](int m) {
    return std::max<int>(m + 1, static_cast<int>(std::lround(growth * m)));
  };
  LevelResult previous;
  bool have = false;
  for (int m = min_level; m <= max_level; m = next(m)) {
    auto t0 = std::chrono::steady_clock::now();
    LevelResult r = solve_level(s, feature, m, settings, have ? &previous : nullptr);
    double t = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    size_t nc = s.conductors.size();
    std::printf("m=%d N=%zu near=%lld far=%lld it=%lld conv=%d t=%.3f :", m, r.mesh.panels.size(),
                (long long)r.near_entries, (long long)r.far_links, (long long)r.iterations,
                r.converged, t);
    for (size_t k = 0; k < std::min<size_t>(nc * nc, 8); ++k)
      std::printf(" %.7g", r.capacitance[k]);
    std::printf("\n");
    if (getenv("FINE_LEVELS_DUMP")) {
      FILE* f = std::fopen(
          (std::string(getenv("FINE_LEVELS_DUMP")) + std::to_string(m) + ".txt").c_str(), "w");
      for (size_t j = 0; j < nc; ++j) {
        for (size_t k = 0; k < nc; ++k) std::fprintf(f, "%.17g ", r.capacitance[j * nc + k]);
        std::fprintf(f, "\n");
      }
      std::fclose(f);
    }
    std::fflush(stdout);
    previous = std::move(r);
    have = true;
  }
}

// Development: compares the extrapolated matrices of two files, the second scaled by S.
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>

#include "fine/fine_extraction.h"

int main(int, char** argv) {
  FineStructure a, b;
  std::ifstream ia(argv[1]), ib(argv[2]);
  read_fine_structure(ia, argv[1], a);
  read_fine_structure(ib, argv[2], b);
  double scale = std::atof(argv[3]);
  FineOptions options;
  options.accuracy = 0.01;
  options.instruction_set = best_instruction_set();
  FineResult ra = extract_fine(a, options), rb = extract_fine(b, options);
  double worst = 0;
  for (size_t k = 0; k < ra.estimate.value.size(); ++k) {
    worst = std::fmax(worst, std::fabs(rb.estimate.value[k] / scale / ra.estimate.value[k] - 1));
  }
  for (size_t l = 0; l < ra.levels.size(); ++l)
    std::printf("level %d iterations %lld %lld\n", ra.levels[l].level,
                (long long)ra.levels[l].iterations, (long long)rb.levels[l].iterations);
  std::printf("levels %zu %zu worst relative difference %.3g\n", ra.levels.size(), rb.levels.size(),
              worst);
}

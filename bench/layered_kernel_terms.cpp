// The image kernels of the two cap3d stacks between the layers that hold conductors: for each
// tolerance, the terms of each ordered pair of merged layers, the largest error bound and the
// time to make them all on one thread and on two (the two must give the same bits), and the
// largest sum of |weight| of a pair over 1 / eps_min (the closed forms lose about that many
// times their rounding). Usage: layered_kernel_terms FILE.cap3d ZLO-ZHI[,ZLO-ZHI...] [TOLERANCE]
// (reads the file's <plate_medium> sections only); TOLERANCE alone, or 1e-4, 1e-5 and 1e-6.

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <set>
#include <sstream>
#include <string>

#include "fine/media/layered_kernel.h"

namespace {

LayerStack read_plate_media(const char* path) {
  std::ifstream file(path);
  std::string line;
  LayerStack stack;
  bool inside = false;
  double top = 0.0;
  while (std::getline(file, line)) {
    std::istringstream words(line);
    std::string key;
    words >> key;
    if (key == "<plate_medium>") inside = true;
    if (key == "</plate_medium>") {
      inside = false;
      stack.top.push_back(top);
    }
    if (inside && key == "diel")
      stack.permittivity.push_back(std::atof(line.c_str() + line.find("diel") + 4));
    if (inside && key == "z_top") top = std::atof(line.c_str() + line.find("z_top") + 5);
  }
  if (!stack.top.empty()) stack.top.pop_back();  // the last layer reaches up without end
  return stack;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3 && argc != 4) {
    std::fprintf(stderr,
                 "usage: layered_kernel_terms FILE.cap3d ZLO-ZHI[,ZLO-ZHI...] [TOLERANCE]\n");
    return 2;
  }
  const LayerStack stack = read_plate_media(argv[1]);
  std::set<int32_t> layers;  // one layer of each merged run the conductors reach
  const MergedStack merged = merge_equal_neighbours(stack);
  std::set<int32_t> seen;
  std::istringstream ranges(argv[2]);
  std::string range;
  while (std::getline(ranges, range, ',')) {
    const double lo = std::atof(range.c_str()),
                 hi = std::atof(range.c_str() + range.find('-', 1) + 1);
    for (int32_t l = layer_of(stack, lo, 1); l <= layer_of(stack, hi, -1); ++l) {
      if (seen.insert(merged.merged_of[l]).second) layers.insert(l);
    }
  }
  std::printf("%zu layers (%zu merged), %zu merged layers hold conductors\n",
              stack.permittivity.size(), merged.permittivity.size(), layers.size());
  const std::vector<int32_t> chosen(layers.begin(), layers.end());
  std::vector<double> tolerances = {1e-4, 1e-5, 1e-6};
  if (argc == 4) tolerances = {std::atof(argv[3])};
  for (double tolerance : tolerances) {
    double seconds[2];
    std::unique_ptr<LayeredKernel> kernels[2];
    for (int32_t threads : {1, 2}) {
      const auto start = std::chrono::steady_clock::now();
      kernels[threads - 1] = std::make_unique<LayeredKernel>(stack, tolerance);
      kernels[threads - 1]->make_pairs(chosen, threads);
      seconds[threads - 1] =
          std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    }
    const LayeredKernel& kernel = *kernels[0];
    double worst = 0.0, weights = 0.0;
    size_t fewest = 1 << 30, most = 0, total = 0, count = 0;
    bool same = true;
    std::printf("tolerance %g: terms, source layer (rows) to target layer (columns)\n", tolerance);
    for (int32_t i : layers) {
      std::printf("  %3d:", i);
      for (int32_t j : layers) {
        const LayerPairKernel& pair = kernel.pair(i, j);
        const LayerPairKernel& other = kernels[1]->pair(i, j);
        std::printf(" %4zu", pair.terms.size());
        worst = std::fmax(worst, pair.error);
        fewest = std::min(fewest, pair.terms.size());
        most = std::max(most, pair.terms.size());
        total += pair.terms.size();
        ++count;
        double sum = 0.0;
        for (const ImageTerm& term : pair.terms) sum += std::fabs(term.weight);
        weights = std::fmax(weights, sum * std::fmin(stack.permittivity[i], stack.permittivity[j]));
        same = same && pair.error == other.error && pair.terms.size() == other.terms.size();
        for (size_t n = 0; same && n < pair.terms.size(); ++n) {
          same = pair.terms[n].weight == other.terms[n].weight &&
                 pair.terms[n].offset == other.terms[n].offset;
        }
      }
      std::printf("\n");
    }
    std::printf(
        "  terms %zu to %zu, mean %.1f; largest error bound %.3g; largest sum |w| eps_min %.3g;"
        " made in %.2f s on 1 thread, %.2f s on 2 (%s)\n",
        fewest, most, static_cast<double>(total) / count, worst, weights, seconds[0], seconds[1],
        same ? "the same bits" : "DIFFERENT BITS");
  }
  return 0;
}

// far_pairs_timing: the far product of the iterations (degree 4) on one level of a structure,
// against what this core can do. Prints the product's flops and bytes per step (one group of
// eight solves), counted from its tables; the core's clock, measured by a chain of dependent
// integer additions (one a cycle); and, on every instruction-set path this processor has, the
// least thread CPU time of the product and of four variants that isolate what the far pairs'
// moves wait for: no pairs at all, every pair reading one tensor (the tensors then in the first
// cache), every pair reading one node's moments (the moments then in the first cache), and both.
// The variants run the same compiled product on altered tables, so they time the kernels the
// solves run. Not installed.
//
// usage: far_pairs_timing PANELFILE LEVEL LEAF [REPEATS [GB_PER_S [PATH]]]
//   GB_PER_S: one core's bandwidth from memory (bench/memory_triad), for the bytes' limit;
//   PATH: sse2, avx2 or avx512, that path alone (default: every path the processor has).
#include <time.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <vector>

#include "fine/clusters/cluster_tree.h"
#include "fine/clusters/interaction_lists.h"
#include "fine/far_field/far_field.h"
#include "fine/far_field/far_product.h"
#include "fine/mesh/feature_scale.h"
#include "fine/mesh/graded_mesh.h"
#include "structure/panel_file_reader.h"

namespace {

double cpu() {
  timespec t;
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
  return static_cast<double>(t.tv_sec) + 1e-9 * static_cast<double>(t.tv_nsec);
}

/// Cycles per second of this core: eight dependent additions per turn of a loop whose counter
/// runs beside them, one cycle each on every x86 core of the last fifteen years.
double clock_hz() {
  double best = 0;
  for (int repeat = 0; repeat < 5; ++repeat) {
    const long turns = 50000000;
    long value = 0, count = turns;
    const double start = cpu();
    asm volatile(
        "1:\n\t"
        "add $1, %0\n\tadd $1, %0\n\tadd $1, %0\n\tadd $1, %0\n\t"
        "add $1, %0\n\tadd $1, %0\n\tadd $1, %0\n\tadd $1, %0\n\t"
        "dec %1\n\tjnz 1b"
        : "+r"(value), "+r"(count));
    best = std::max(best, 8.0 * turns / (cpu() - start));
  }
  return best;
}

/// Products and sums a second of twelve independent chains x = x * c + e in vectors of W
/// doubles (-ffp-contract=off: a product, then a sum), compiled for `target`: the peak of that
/// path as it is reached, to check the one from the clock and the widths.
#define CHAINS_OF_WIDTH(W, TARGET)                                                        \
  __attribute__((target(TARGET))) double chains##W() {                                    \
    typedef double V __attribute__((vector_size(W * sizeof(double))));                    \
    V c, e;                                                                               \
    for (int w = 0; w < W; ++w) c[w] = 0.999999, e[w] = 1e-6;                             \
    V x0 = c, x1 = c + e, x2 = c + 2 * e, x3 = c + 3 * e, x4 = c + 4 * e, x5 = c + 5 * e; \
    V x6 = c - e, x7 = c - 2 * e, x8 = c - 3 * e, x9 = c - 4 * e, xa = c - 5 * e;         \
    V xb = c * c;                                                                         \
    const long turns = 20000000;                                                          \
    const double start = cpu();                                                           \
    for (long t = 0; t < turns; ++t) {                                                    \
      x0 = x0 * c + e, x1 = x1 * c + e, x2 = x2 * c + e, x3 = x3 * c + e;                 \
      x4 = x4 * c + e, x5 = x5 * c + e, x6 = x6 * c + e, x7 = x7 * c + e;                 \
      x8 = x8 * c + e, x9 = x9 * c + e, xa = xa * c + e, xb = xb * c + e;                 \
      asm volatile("" : "+x"(x0), "+x"(x1), "+x"(x2), "+x"(x3), "+x"(x4), "+x"(x5));      \
      asm volatile("" : "+x"(x6), "+x"(x7), "+x"(x8), "+x"(x9), "+x"(xa), "+x"(xb));      \
    }                                                                                     \
    return 2.0 * 12 * W * turns / (cpu() - start);                                        \
  }
CHAINS_OF_WIDTH(2, "sse2")
CHAINS_OF_WIDTH(4, "avx2")
CHAINS_OF_WIDTH(8, "avx512f")

/// The products and sums of one side of a far pair of degree q on one lane: each harmonic term
/// of the local expansion (2n + 1 of degree n) is a sum over the folded moments whose degree
/// fits.
double flops_of_side(int32_t q) {
  double products = 0;
  for (int32_t n = 0; n <= q; ++n) products += (2 * n + 1) * harmonic_terms_up_to(q - n);
  return 2 * products;  // a product, then a sum (into a partial sum or into the local)
}

/// The least time of `repeats` degree-4 products of `set` on tables F.
double least_product(const FarFieldTables& F, InstructionSet set, int repeats,
                     std::vector<Lanes<kNarrowLanes>>& x, std::vector<Lanes<kNarrowLanes>>& y,
                     FarFieldWork& work) {
  double best = 1e30;
  for (int r = 0; r <= repeats; ++r) {  // one untimed first: the pages touched
    const double start = cpu();
    far_product(set)(F, 4, x.data(), y.data(), work.space.get(), work.blocks);
    if (r > 0) best = std::min(best, cpu() - start);
  }
  return best;
}

/// What a step of the product on F (n panels) computes and reads: every side moves a node's
/// moments across its pair. Printed; `flops` and the bytes `streamed` by the sides returned.
void count_a_step(const FarFieldTables& F, int32_t n, double& flops, double& streamed) {
  const int lanes = kNarrowLanes;
  flops = 0, streamed = 0;
  int64_t full_sides = 0;  // the sides the unrolled moves of degree 4 take
  for (const FarLinkSide& side : F.sides) {
    full_sides += side.degree >= 4;
    const int32_t degree = std::min(4, side.degree);
    flops += lanes * flops_of_side(degree);  // the folded moments, the tensor's terms
    streamed += harmonic_terms_up_to(degree) * lanes * 8.0 + terms_up_to(degree) * 8.0 +
                sizeof(FarLinkSide);
  }
  const double once =
      2.0 * F.kept_blocks * 64 + F.kept_tensors.size() * 8.0 + F.sides.size() * sizeof(FarLinkSide);
  std::printf(
      "%d panels, %zu nodes, %lld far pairs, %zu sides (%lld of degree 4); per step: %.3g Gflop "
      "in the pairs, %.1f MB if each side's moments and tensor come from memory, %.1f MB if each "
      "array is read once (moments and locals %.1f MB)\n",
      n, F.parent.size(), static_cast<long long>(F.pairs), F.sides.size(),
      static_cast<long long>(full_sides), flops * 1e-9, streamed * 1e-6, once * 1e-6,
      2.0 * F.kept_blocks * 64 * 1e-6);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 4) {
    std::fprintf(stderr,
                 "usage: far_pairs_timing PANELFILE LEVEL LEAF [REPEATS [GB_PER_S [PATH]]]\n");
    return 2;
  }
  std::ifstream in(argv[1]);
  FineStructure s;
  read_fine_structure(in, argv[1], s);
  const std::vector<double> feature = feature_scales(s);
  const LevelMesh mesh = make_level_mesh(s, feature, std::atoi(argv[2]));
  const ClusterTree tree(mesh, std::atoi(argv[3]));
  const InteractionLists lists = make_interaction_lists(tree, 0.6);
  const FarField far(mesh, tree, lists, 8, 4, 0.6);
  const int repeats = argc > 4 ? std::atoi(argv[4]) : 5;
  const double bandwidth = argc > 5 ? std::atof(argv[5]) * 1e9 : 0.0;
  const char* only = argc > 6 ? argv[6] : nullptr;
  const FarFieldTables& F = far.tables();
  const int32_t n = static_cast<int32_t>(mesh.panels.size());
  double flops, streamed;
  count_a_step(F, n, flops, streamed);
  const double hz = clock_hz();
  std::printf("clock %.2f GHz (dependent additions)\n", hz * 1e-9);

  // The variants: F as it is, without pairs, one tensor for all, one source for all, both.
  // The one tensor and the one source are a side's of degree 4, so that they serve every side.
  const FarLinkSide& full = *std::find_if(F.sides.begin(), F.sides.end(),
                                          [](const FarLinkSide& side) { return side.degree >= 4; });
  FarFieldTables none = F, one_tensor = F, one_source = F, both = F;
  std::fill(none.side_start.begin(), none.side_start.end(), 0);
  for (FarFieldTables* t : {&one_tensor, &both}) {
    for (FarLinkSide& side : t->sides) side.tensor = full.tensor;
  }
  for (FarFieldTables* t : {&one_source, &both}) {
    for (FarLinkSide& side : t->sides) side.source = full.source;
  }
  std::vector<Lanes<kNarrowLanes>> x(n), y(n);
  for (int32_t i = 0; i < n; ++i) {
    for (int w = 0; w < kNarrowLanes; ++w) x[i].lane[w] = 1.0 + 0.001 * ((i * 7 + w) % 13);
  }
  const FarFieldTables* variants[] = {&F, &none, &one_tensor, &one_source, &both};
  FarFieldWork work(far);
  std::printf("%-7s %9s %9s %9s %9s %9s | pairs: %7s %7s %10s %9s\n", "path", "ms", "no pairs",
              "1 tensor", "1 source", "both", "ms", "Gflop/s", "% of peak", "% of bw");
  for (InstructionSet set : {InstructionSet::sse2, InstructionSet::avx2, InstructionSet::avx512}) {
    if (!processor_has(set)) continue;
    if (only != nullptr && std::strcmp(only, instruction_set_name(set)) != 0) continue;
    double t[5];
    int i = 0;
    for (const FarFieldTables* tables : variants) {
      t[i++] = least_product(*tables, set, repeats, x, y, work);
    }
    const double pairs = t[0] - t[1];
    // Two pipes that multiply and two that add, each a register of the path's width a cycle.
    const int width = set == InstructionSet::sse2 ? 2 : set == InstructionSet::avx2 ? 4 : 8;
    const double peak = 4.0 * width * hz;
    const double reached = width == 2 ? chains2() : width == 4 ? chains4() : chains8();
    std::printf("%-7s peak %.1f Gflop/s from the clock, %.1f reached by independent chains\n",
                instruction_set_name(set), peak * 1e-9, reached * 1e-9);
    std::printf("%-7s %9.2f %9.2f %9.2f %9.2f %9.2f | %13.2f %7.2f %10.1f %9.1f\n",
                instruction_set_name(set), t[0] * 1e3, t[1] * 1e3, t[2] * 1e3, t[3] * 1e3,
                t[4] * 1e3, pairs * 1e3, flops / pairs * 1e-9, 100 * flops / pairs / peak,
                bandwidth > 0 ? 100 * streamed / pairs / bandwidth : 0.0);
  }
  return 0;
}

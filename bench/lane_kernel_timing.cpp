// Times the lane kernels of one path on the real matrices of a panel file: the passes of vornax
// up to the factor, then `repeats` runs of each kernel on a group of random lane vectors, the
// least thread CPU time of the runs reported per kernel.
//
// usage: lane_kernel_timing PANEL_FILE [LANES [REPEATS [BLOCK [THREADS]]]]   (VORNAX_ISA picks
// the path; BLOCK: columns per block of the gathered sums, 0 for the choice by the cache, -1 for
// the sums scattered along the rows; THREADS: threads timing at once, each on its own vectors,
// sharing the matrices as the solve threads do; the slowest thread's times are shown)

#include <time.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <random>
#include <thread>
#include <vector>

#include "model/capacitance_extractor.h"
#include "run/instruction_set_choice.h"
#include "sparse/blocked_sums.h"
#include "sparse/compact_arrays.h"
#include "sparse/incomplete_cholesky.h"
#include "sparse/lane_kernels.h"
#include "sparse/sparse_matrix.h"

namespace {

double thread_seconds() {
  timespec t;
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
  return static_cast<double>(t.tv_sec) + 1e-9 * static_cast<double>(t.tv_nsec);
}

// The least CPU time of `repeats` runs of `work`.
double least_time(int32_t repeats, const std::function<void()>& work) {
  double best = 1e30;
  for (int32_t r = 0; r < repeats; ++r) {
    const double start = thread_seconds();
    work();
    best = std::min(best, thread_seconds() - start);
  }
  return best;
}

// The least times of one thread's kernels, in seconds.
struct KernelTimes {
  double product;        // y = P·x
  double substitutions;  // z = F⁻¹·r
  double backward;       // its backward substitution alone
  double dot;            // one dot product
};

template <int32_t L>
void time_kernels(const CompactSymmetric& P, const CompactFactor& F, const LaneKernels<L>& k,
                  int32_t repeats, int32_t block_columns, int32_t threads) {
  std::unique_ptr<BlockedSums> product_sums;
  std::unique_ptr<BlockedSums> forward_sums;
  if (block_columns >= 0) {
    if (block_columns == 0) block_columns = cache_block_columns(P.n, L, second_level_cache_bytes());
    const double start = thread_seconds();
    product_sums = blocked_product(P, block_columns);
    forward_sums = blocked_forward(F, block_columns);
    std::printf("gathered, blocks of %d columns: %lld and %lld segments, made in %.3f s\n",
                block_columns, static_cast<long long>(product_sums->segment_count),
                static_cast<long long>(forward_sums->segment_count), thread_seconds() - start);
  } else {
    std::printf("scattered\n");
  }
  const LaneMatrices matrices{&P, &F, product_sums.get(), forward_sums.get()};
  const int32_t n = P.n;
  // The backward substitution alone: no forward terms.
  const BlockedSums no_forward(0, 0);
  const LaneMatrices backward_only{&P, &F, nullptr, &no_forward};

  // Each thread times the kernels on vectors of its own, as the solve threads of a run do.
  std::vector<KernelTimes> times(threads);
  auto measure = [&](int32_t t) {
    std::vector<Lanes<L>> x(n), y(n), z(n);
    std::mt19937_64 random(7 + t);
    std::uniform_real_distribution<double> value(-1.0, 1.0);
    for (auto& v : x) {
      for (double& d : v.lane) d = value(random);
    }
    KernelTimes& m = times[t];
    m.product = least_time(repeats, [&] { k.multiply(matrices, y.data(), x.data()); });
    m.substitutions = least_time(repeats, [&] { k.solve_factored(matrices, z.data(), x.data()); });
    m.backward = least_time(repeats, [&] { k.solve_factored(backward_only, z.data(), x.data()); });
    Lanes<L> s;
    m.dot = least_time(repeats, [&] { k.dot(s, x.data(), y.data(), n); });
  };
  std::vector<std::thread> team;
  for (int32_t t = 0; t < threads; ++t) team.emplace_back(measure, t);
  for (auto& member : team) member.join();
  KernelTimes worst{};
  for (const KernelTimes& m : times) {
    worst.product = std::max(worst.product, m.product);
    worst.substitutions = std::max(worst.substitutions, m.substitutions);
    worst.backward = std::max(worst.backward, m.backward);
    worst.dot = std::max(worst.dot, m.dot);
  }
  const double vector_bytes = static_cast<double>(n) * sizeof(Lanes<L>);
  std::printf(
      "lanes %d, %d thread(s): product %.2f ms, substitutions %.2f ms (backward %.2f ms), dot "
      "%.3f ms (%.1f GB/s a thread); per lane %.3f ms a step (product and substitutions)\n",
      L, threads, 1e3 * worst.product, 1e3 * worst.substitutions, 1e3 * worst.backward,
      1e3 * worst.dot, 2 * vector_bytes / worst.dot / 1e9,
      1e3 * (worst.product + worst.substitutions) / L);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2 || argc > 6) {
    std::fprintf(stderr,
                 "usage: lane_kernel_timing PANEL_FILE [LANES [REPEATS [BLOCK [THREADS]]]]\n");
    return 2;
  }
  const int32_t lanes = argc > 2 ? std::atoi(argv[2]) : kWideLanes;
  const int32_t repeats = argc > 3 ? std::atoi(argv[3]) : 5;
  const int32_t block = argc > 4 ? std::atoi(argv[4]) : 0;
  const int32_t threads = std::max(1, argc > 5 ? std::atoi(argv[5]) : 1);
  InstructionSet path;
  std::string message;
  if (!instruction_set_from_environment(path, message)) {
    std::fprintf(stderr, "%s\n", message.c_str());
    return 1;
  }
  CapacitanceExtractor ex;
  if (!ex.read_panel_file(argv[1]) || !ex.refine_all_pairs()) return 1;
  ex.number_unknowns();
  if (!ex.add_same_origin_pairs()) return 1;
  double start = thread_seconds();
  ex.assemble_p_matrix();
  const double assembly = thread_seconds() - start;
  int32_t failed_row = -1;
  start = thread_seconds();
  ex.factor = incomplete_cholesky(*ex.p_matrix, failed_row, ex.drop_tolerance);
  const double factorisation = thread_seconds() - start;
  if (!ex.factor) return 1;
  std::printf("assembly %.3f s, factorisation %.3f s (thread CPU time, once)\n", assembly,
              factorisation);
  const CompactSymmetric P(*ex.p_matrix);
  const CompactFactor F(*ex.factor);
  std::printf("path %s, unknowns %d, P entries %lld, factor entries %lld\n",
              instruction_set_name(path), P.n, static_cast<long long>(P.row_start[P.n]),
              static_cast<long long>(F.row_start[F.n]));
  // How far the columns of a row lie from it: the reach of the random accesses.
  std::vector<int64_t> reach(8, 0);
  for (int32_t j = 0; j < P.n; ++j) {
    for (int64_t k = P.row_start[j]; k < P.row_start[j + 1]; ++k) {
      const int64_t d = P.col[k] - j;
      int32_t b = 0;
      for (int64_t limit = 64; b < 7 && d >= limit; limit *= 8) ++b;
      ++reach[b];
    }
  }
  std::printf("column - row below 64, 512, 4096, 32768, 262144, ...:");
  for (int64_t c : reach) std::printf(" %.3f", static_cast<double>(c) / P.row_start[P.n]);
  std::printf("\n");
  const LaneKernelSet& set = lane_kernels(path);
  if (lanes == kQuarterLanes) time_kernels(P, F, set.quarter, repeats, block, threads);
  if (lanes == kNarrowLanes) time_kernels(P, F, set.narrow, repeats, block, threads);
  if (lanes == kWideLanes) time_kernels(P, F, set.wide, repeats, block, threads);
  return 0;
}

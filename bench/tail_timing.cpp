// The tail of vornax's conductor solves: the passes of vornax up to the factor, then the solves of
// every conductor, once with every group on its own thread alone to its end (as before the last
// groups were shared: no solve set aside, no lanes handed over, no step shared) and once as
// vornax runs them now, and the longest solve by itself on one thread and on all of them. For each
// run of all the solves it reports the wall time, and the tail: the time from the moment fewer
// groups than threads are left to the end, and the time with one group left.
//
// usage: tail_timing PANEL_FILE [THREADS [WHAT]]   (VORNAX_ISA picks the path; WHAT is any of
// "alone", "shared" and "longest", separated by commas, default all three)

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <string>
#include <vector>

#include "capacitance/conductor_columns.h"
#include "model/capacitance_extractor.h"
#include "run/instruction_set_choice.h"
#include "sparse/compact_arrays.h"
#include "sparse/incomplete_cholesky.h"
#include "sparse/pcg_lanes.h"
#include "sparse/sparse_matrix.h"

namespace {

using Clock = std::chrono::steady_clock;

double seconds_since(Clock::time_point start) {
  return std::chrono::duration<double>(Clock::now() - start).count();
}

struct Extraction {
  CapacitanceExtractor ex;                     // the passes up to the factor
  std::unique_ptr<CompactSymmetric> P;         // flat P
  std::unique_ptr<CompactFactor> F;            // flat factor
  InstructionSet path = InstructionSet::sse2;  // the kernels' path
};

// Solves the conductors `which` (all when empty) on `threads` threads, steps shared or not;
// returns the iterations of each, and prints the times.
std::vector<int32_t> solve(const Extraction& e, int32_t threads, bool shared,
                           const std::vector<int32_t>& which, const char* label) {
  const int32_t n = e.P->n;
  const int32_t count = which.empty() ? static_cast<int32_t>(e.ex.conductor_count)
                                      : static_cast<int32_t>(which.size());
  std::vector<int32_t> iterations(count, 0);
  std::mutex lock;
  double fewer_than_threads = -1.0;  // when fewer groups than threads were first left
  double one_left = -1.0;            // when one group was first left
  LaneSolveSettings settings;
  settings.thread_count = threads;
  settings.instruction_set = e.path;
  settings.every_group_alone = !shared;
  const Clock::time_point start = Clock::now();
  settings.group_ended = [&](int32_t running) {
    std::lock_guard<std::mutex> hold(lock);
    const double now = seconds_since(start);
    if (fewer_than_threads < 0.0 && running > 0) fewer_than_threads = now;
    if (one_left < 0.0 && running == 1) one_left = now;
  };
  const int32_t failure = pcg_solve_lanes(
      *e.P, *e.F, count,
      [&](int32_t k, double* b) { conductor_excitation(which.empty() ? k : which[k], n, b); },
      [&](int32_t k, const double*, int32_t steps) { iterations[k] = steps; }, e.ex.pcg_tolerance,
      settings);
  const double total = seconds_since(start);
  int64_t all = 0;
  for (int32_t steps : iterations) all += steps;
  std::printf("%s: %d solve(s), %lld iterations, %.3f s", label, count, static_cast<long long>(all),
              total);
  if (fewer_than_threads >= 0.0) {
    std::printf("; fewer groups than threads for the last %.3f s", total - fewer_than_threads);
  }
  if (one_left >= 0.0) std::printf(", one group for the last %.3f s", total - one_left);
  std::printf("%s\n", failure >= 0 ? " (a solve gave up)" : "");
  return iterations;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2 || argc > 4) {
    std::fprintf(stderr, "usage: tail_timing PANEL_FILE [THREADS [alone,shared,longest]]\n");
    return 2;
  }
  const int32_t threads = argc > 2 ? std::max(1, std::atoi(argv[2])) : 2;
  const std::string what = argc > 3 ? argv[3] : "alone,shared,longest";
  Extraction e;
  std::string message;
  if (!instruction_set_from_environment(e.path, message)) {
    std::fprintf(stderr, "%s\n", message.c_str());
    return 1;
  }
  CapacitanceExtractor& ex = e.ex;
  if (!ex.read_panel_file(argv[1]) || !ex.refine_all_pairs()) return 1;
  ex.number_unknowns();
  if (!ex.add_same_origin_pairs()) return 1;
  ex.assemble_p_matrix();
  int32_t failed_row = -1;
  ex.factor = incomplete_cholesky(*ex.p_matrix, failed_row, ex.drop_tolerance);
  if (!ex.factor) return 1;
  e.P = std::make_unique<CompactSymmetric>(*ex.p_matrix);
  e.F = std::make_unique<CompactFactor>(*ex.factor);
  std::printf("%s: %u conductors, %d unknowns, path %s, %d threads\n", argv[1], ex.conductor_count,
              e.P->n, instruction_set_name(e.path), threads);

  std::vector<int32_t> iterations;
  if (what.find("alone") != std::string::npos) {
    iterations = solve(e, threads, false, {}, "every group alone");
  }
  if (what.find("shared") != std::string::npos) {
    iterations = solve(e, threads, true, {}, "last groups shared");
  }
  if (what.find("longest") != std::string::npos) {
    if (iterations.empty()) iterations = solve(e, threads, true, {}, "last groups shared");
    int32_t longest = 0;
    for (int32_t k = 0; k < static_cast<int32_t>(iterations.size()); ++k) {
      if (iterations[k] > iterations[longest]) longest = k;
    }
    std::printf("the longest solve is conductor %d's (from 0), %d iterations\n", longest,
                iterations[longest]);
    solve(e, 1, false, {longest}, "the longest solve, 1 thread");
    solve(e, threads, true, {longest}, "the longest solve, shared");
  }
  return 0;
}

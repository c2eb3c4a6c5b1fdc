#pragma once

#include <atomic>
#include <cstdint>
#include <functional>

#include "sparse/compact_arrays.h"
#include "sparse/lane_kernels.h"

/// How pcg_solve_lanes runs: on how many threads, on which instruction-set path, whom it
/// tells how far it has come, and which right-hand sides it solves.
struct LaneSolveSettings {
  int32_t thread_count = 1;                               // lane groups solving at once
  InstructionSet instruction_set = InstructionSet::sse2;  // a path the processor has
  std::function<void(int32_t solved)> progress;           // optional, see pcg_solve_lanes
  int32_t widest_group = kWideLanes;    // lanes of a group at the most, below the path's own bound
  int32_t progress_milliseconds = 250;  // interval of the progress calls
  /// Optional: the next right-hand side to start, ascending and below rhs_count, or -1 when none
  /// is left (it is then not called again); called under the callbacks' lock. Without it, every
  /// one of 0 .. rhs_count-1 in turn.
  std::function<int32_t()> claim;
  /// A group gathers the sums of its product and forward substitution (blocked_sums.h) when one
  /// of its vectors is larger than this many bytes; -1: four times the second-level cache.
  int64_t gather_above_bytes = -1;
  /// Columns per block of the gathered sums; 0: as many as fit the second-level cache for the
  /// widest group.
  int32_t block_columns = 0;
  /// Threads share the step of a group once there are fewer groups than threads, when P and its
  /// factor hold more than this many entries together; -1: kSplitAboveEntries.
  int64_t split_above_entries = -1;
  /// Every step that has helpers at hand is shared, whether or not sharing pays (SharingPace):
  /// for tests.
  bool split_every_step = false;
  /// For measurements: every group runs alone on its thread to its end, as before the threads
  /// shared the last groups: no step is shared, no solve set aside, no lanes handed over.
  bool every_group_alone = false;
  /// Optional, for measurements: called from a solve thread as each group ends, with the number of
  /// groups still running.
  std::function<void(int32_t running)> group_ended;
  /// Optional: the lowest right-hand side known to have given up, shared with whoever else
  /// solves (other processes): INT32_MAX for none, -1 to stop every solve. Others may lower it
  /// at any time, and the solves here lower it as theirs give up. A solve above it is abandoned
  /// at its next step and none above it starts.
  std::atomic<int32_t>* lowest_failure = nullptr;
};

/// Below this many entries of P and its factor together, a step is too short to be shared by
/// several threads: the waits of a shared step would cost more than they save.
constexpr int64_t kSplitAboveEntries = 50000;

/// Lowers `lowest_failure` to `rhs` unless another thread or process already has it lower.
inline void lower_failure_to(std::atomic<int32_t>& lowest_failure, int32_t rhs) {
  int32_t known = lowest_failure.load();
  while (rhs < known && !lowest_failure.compare_exchange_weak(known, rhs)) {
  }
}

/// The group width for each of `workers` workers sharing `rhs_count` solves: wide enough that
/// every solve can start at once, within the widths there are.
int32_t lane_group_width(int32_t rhs_count, int32_t workers);

/// Solves P·x = b for `rhs_count` right-hand sides, each exactly as `pcg_solve` with the factor F
/// and a zero start does, step for step and bit for bit, whatever the threads, the path and the
/// group widths.
///
/// Each thread runs a group of solves side by side, sharing the traversals of P and F, and refills
/// a lane from the queue as soon as its solve ends; right-hand sides start in ascending order. A
/// group is wide enough for every solve to start at once (4 lanes and up, to the widest worth
/// running on the path, widest_group_for) while there are many; once the queue is drained, it
/// narrows as its solves end, so that the last long solves step in a group no wider than they
/// need. A thread whose group has ended, or that has none, joins a group that is still running
/// and takes a share of every one of its steps (split_plan.h), so that the last groups run on
/// every thread.
///
/// `make_rhs(k, b)` fills the n-vector b with right-hand side k when its solve starts;
/// `take_solution(k, x, iterations)` receives each solution with the count `pcg_solve` would
/// return. The callbacks are never run concurrently. `progress(solved)`, if set, is called from
/// the calling thread every `progress_milliseconds` with the number of solutions taken so far.
///
/// Returns -1, or the lowest-numbered right-hand side whose solve gives up: once one gives up, no
/// higher-numbered solve is started or finished, and every lower-numbered one is completed, so the
/// answer is the first failure that solving them one after another would meet. A failure known
/// through `lowest_failure` stops the solves above it in the same way, but is not returned.
/// vornax-fine's lane solve (fine/solve/lane_pcg.h) takes the same step kernels but not this loop,
/// which is vornax's defined sequence on one operator from a zero start.
int32_t pcg_solve_lanes(const CompactSymmetric& P, const CompactFactor& F, int32_t rhs_count,
                        const std::function<void(int32_t, double*)>& make_rhs,
                        const std::function<void(int32_t, const double*, int32_t)>& take_solution,
                        double tolerance, const LaneSolveSettings& settings);

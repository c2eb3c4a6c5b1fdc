#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>
#include <vector>

#include "capacitance/solve_sharing.h"
#include "common/instruction_set.h"
#include "mpi/group_dispenser.h"
#include "mpi/mpi_link.h"

/// Rank 0's side of the shared solves. It hands out the lane groups to its own solve threads
/// and to the workers (ranks 1 ..) as they ask, collects the workers' columns and failures,
/// passes every failure on at once to the ranks still solving, so that they stop the solves
/// nobody needs any more, and in the end tells every worker how the run ended. All its MPI
/// calls are made from the thread that runs the extraction.
class SolveMaster {
 public:
  explicit SolveMaster(int32_t worker_count);
  SolveMaster(const SolveMaster&) = delete;
  SolveMaster& operator=(const SolveMaster&) = delete;

  /// The hooks that make compute_capacitance share its solves, with `job_threads` solve threads
  /// in the whole job and the kernels of `set`. They refer to this object.
  SolveSharing sharing(int32_t job_threads, InstructionSet set);

  /// Ends every worker that has not ended yet with exit `status`, reading whatever they still
  /// send until each has said goodbye. Safe to call at any stage of the run, and more than once.
  void end_workers(int status);

 private:
  int32_t begin(const CompactSymmetric& P, const CompactFactor& F, double tolerance,
                int32_t conductor_count, double* columns);
  int32_t claim();
  void serve();
  int32_t finish(int32_t failed, int64_t& iterations);

  /// Reads and handles one message that has arrived; false when none has.
  bool handle_next();
  struct WorkerState;
  /// Handles messages until every worker's `flag` is set.
  void wait_for_every_worker(bool WorkerState::*flag);
  void handle_control(int source, const Control& message);
  void take_solution(int source, int count);
  /// Lowers the failure known to all to conductor k (-1: every solve is to stop).
  void lower_failure(int32_t k);
  /// Tells the workers still solving the lowest failure known, once it has fallen.
  void announce();

  /// Per worker (indexed by rank), how far it has come.
  struct WorkerState {
    bool answered = false;  // replied to the header: ready, or out of memory
    bool finished = false;  // its solves are over, or it ran out of memory
    bool gone = false;      // said goodbye: it sends nothing more
  };

  int32_t worker_count_;              // ranks 1 .. worker_count_
  std::vector<WorkerState> workers_;  // index 0 unused
  std::mutex lock_;                   // guards the dispenser and batch against the solve threads
  GroupDispenser dispenser_;          // the lane groups not yet handed out
  ConductorBatch own_batch_;          // this rank's conductors not yet started
  int32_t own_width_ = 1;             // lanes of this rank's groups, the size of its batches
  int32_t job_threads_ = 1;           // solve threads of all ranks
  InstructionSet instruction_set_ = InstructionSet::sse2;  // this rank's kernels
  double* columns_ = nullptr;      // the capacitance columns, column k at k·m
  int32_t conductor_count_ = 0;    // m
  std::vector<double> solution_;   // a received solution message
  int64_t worker_iterations_ = 0;  // iterations of the workers' solves
  int32_t solved_elsewhere_ = 0;   // solutions received from the workers
  bool out_of_memory_ = false;     // a worker ran out of memory; guarded by lock_
  bool ending_ = false;            // the workers have been told to end
  bool solving_ = false;           // the arrays are out and the workers' solves not all over
  std::atomic<int32_t> lowest_failure_{INT32_MAX};  // see SolveSharing; this rank's solves
                                                    // lower it too
  int32_t announced_ = INT32_MAX;                   // the lowest failure the workers have been told
};

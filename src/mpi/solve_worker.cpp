#include "mpi/solve_worker.h"

#include <mpi.h>

#include <atomic>
#include <cstddef>
#include <memory>
#include <mutex>
#include <vector>

#include "capacitance/conductor_columns.h"
#include "mpi/array_broadcast.h"
#include "mpi/group_dispenser.h"
#include "mpi/mpi_link.h"
#include "mpi/node_share.h"
#include "sparse/pcg_lanes.h"

namespace {

/// The worker's side of the conversation once the arrays are here. Its MPI calls are made by
/// the solve threads inside pcg_solve_lanes's callbacks and by the calling thread between its
/// progress ticks, one at a time under `link`.
struct WorkerSolves {
  int32_t width = 1;            // lanes of this rank's groups: the conductors it asks for
  ConductorBatch batch;         // conductors handed out and not yet started
  bool nothing_left = false;    // rank 0 has no more for this rank
  bool ended = false;           // rank 0 has ended the run meanwhile
  int status = 1;               // the exit status it gave
  std::vector<double> message;  // conductor, iterations and column of one solution
  std::mutex link;              // held around every MPI call during the solves
  std::atomic<int32_t> lowest_failure{INT32_MAX};  // see LaneSolveSettings
  int32_t reported = INT32_MAX;  // the lowest failure rank 0 knows to have been seen here

  /// Takes in a message from rank 0 that may come at any time; false for any other.
  bool take_notice(const Control& notice) {
    if (notice.word[0] == kAbandon) {
      const int32_t k = static_cast<int32_t>(notice.word[1]);
      lower_failure_to(lowest_failure, k);
      if (k < reported) reported = k;
      return true;
    }
    if (notice.word[0] == kEnd) {
      ended = true;
      status = static_cast<int>(notice.word[1]);
      lowest_failure = -1;
      return true;
    }
    return false;
  }

  /// The next message from rank 0 that answers this rank, notices taken in on the way.
  Control answer() {
    for (;;) {
      const Control reply = wait_for_master();
      if (reply.word[0] != kAbandon) return reply;
      take_notice(reply);
    }
  }

  int32_t claim() {
    const int32_t k = batch.take();
    if (k >= 0 || nothing_left) return k;
    std::lock_guard<std::mutex> hold(link);
    if (ended) return -1;
    send_control(0, kToMaster, kRequest, width);
    const Control reply = answer();
    if (reply.word[0] == kGroup) {
      batch = ConductorBatch{static_cast<int32_t>(reply.word[1]),
                             static_cast<int32_t>(reply.word[1] + reply.word[2])};
      return batch.take();
    }
    nothing_left = true;
    take_notice(reply);
    return -1;
  }

  void send_solution(int32_t k, const double* x, int32_t iterations, int32_t m) {
    std::lock_guard<std::mutex> hold(link);
    if (ended) return;
    message[0] = k;
    message[1] = iterations;
    conductor_charges(x, m, &message[kSolutionHead]);
    MPI_Send(message.data(), m + kSolutionHead, MPI_DOUBLE, 0, kSolution, MPI_COMM_WORLD);
  }

  /// Between the steps: tells rank 0 of a solve here that gave up, and takes in what rank 0 has
  /// said meanwhile, so that a failure anywhere stops the solves above it within a step.
  void exchange_failures() {
    std::lock_guard<std::mutex> hold(link);
    if (ended) return;
    const int32_t failure = lowest_failure.load();
    if (failure >= 0 && failure < reported) {
      send_control(0, kToMaster, kGaveUp, failure);
      reported = failure;
    }
    for (;;) {
      int arrived = 0;
      MPI_Iprobe(0, kFromMaster, MPI_COMM_WORLD, &arrived, MPI_STATUS_IGNORE);
      if (!arrived) return;
      Control notice;
      MPI_Recv(notice.word, kControlWords, MPI_INT64_T, 0, kFromMaster, MPI_COMM_WORLD,
               MPI_STATUS_IGNORE);
      take_notice(notice);
    }
  }
};

}  // namespace

int run_worker(InstructionSet instruction_set, int32_t thread_count, int32_t job_threads) {
  Control first = wait_for_master();
  if (first.word[0] == kEnd) {
    send_control(0, kToMaster, kBye);
    return static_cast<int>(first.word[1]);
  }
  const SolveHeader header = header_from_message(first);
  const int32_t n = header.n;
  const int32_t m = header.conductor_count;
  CompactSymmetric P(n, header.p_entries);
  CompactFactor F(n, header.factor_entries);
  P.all_finite = header.all_finite;
  WorkerSolves solves;
  solves.width = job_group_width(m, job_threads, instruction_set);
  solves.message.resize(static_cast<std::size_t>(m) + kSolutionHead);
  send_control(0, kToMaster, kReady);

  const Control go = wait_for_master();
  if (go.word[0] == kEnd) {
    send_control(0, kToMaster, kBye);
    return static_cast<int>(go.word[1]);
  }
  broadcast_arrays(P, F);

  auto make_rhs = [&](int32_t k, double* b) { conductor_excitation(k, n, b); };
  auto take_solution = [&](int32_t k, const double* x, int32_t iterations) {
    solves.send_solution(k, x, iterations, m);
  };
  LaneSolveSettings settings;
  settings.thread_count = thread_count;
  settings.instruction_set = instruction_set;
  settings.widest_group = solves.width;
  settings.claim = [&] { return solves.claim(); };
  settings.lowest_failure = &solves.lowest_failure;
  settings.progress = [&](int32_t) { solves.exchange_failures(); };
  settings.progress_milliseconds = 1;
  const int32_t failed =
      pcg_solve_lanes(P, F, m, make_rhs, take_solution, header.tolerance, settings);

  if (!solves.ended) {
    send_control(0, kToMaster, kDone, failed);
    const Control end = solves.answer();
    solves.status = static_cast<int>(end.word[1]);
  }
  send_control(0, kToMaster, kBye);
  return solves.status;
}

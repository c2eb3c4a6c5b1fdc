#include "mpi/solve_worker.h"

#include <mpi.h>

#include <cstddef>
#include <memory>
#include <vector>

#include "capacitance/conductor_columns.h"
#include "mpi/array_broadcast.h"
#include "mpi/group_dispenser.h"
#include "mpi/mpi_link.h"
#include "mpi/node_share.h"
#include "sparse/pcg_lanes.h"

namespace {

/// The worker's side of the conversation once the arrays are here. Its MPI calls are made by
/// the solve threads inside pcg_solve_lanes's callbacks, which never run at the same time.
struct WorkerSolves {
  int32_t width = 1;            // lanes of this rank's groups: the conductors it asks for
  ConductorBatch batch;         // conductors handed out and not yet started
  bool nothing_left = false;    // rank 0 has no more for this rank
  bool ended = false;           // rank 0 has ended the run meanwhile
  int status = 1;               // the exit status it gave
  std::vector<double> message;  // conductor, iterations and column of one solution

  int32_t claim() {
    const int32_t k = batch.take();
    if (k >= 0 || nothing_left) return k;
    send_control(0, kToMaster, kRequest, width);
    const Control reply = wait_for_master();
    if (reply.word[0] == kGroup) {
      batch = ConductorBatch{static_cast<int32_t>(reply.word[1]),
                             static_cast<int32_t>(reply.word[1] + reply.word[2])};
      return batch.take();
    }
    nothing_left = true;
    if (reply.word[0] == kEnd) {
      ended = true;
      status = static_cast<int>(reply.word[1]);
    }
    return -1;
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
    if (solves.ended) return;
    solves.message[0] = k;
    solves.message[1] = iterations;
    conductor_charges(x, m, &solves.message[kSolutionHead]);
    MPI_Send(solves.message.data(), m + kSolutionHead, MPI_DOUBLE, 0, kSolution, MPI_COMM_WORLD);
  };
  LaneSolveSettings settings;
  settings.thread_count = thread_count;
  settings.instruction_set = instruction_set;
  settings.widest_group = solves.width;
  settings.claim = [&] { return solves.claim(); };
  const int32_t failed =
      pcg_solve_lanes(P, F, m, make_rhs, take_solution, header.tolerance, settings);

  if (!solves.ended) {
    send_control(0, kToMaster, kDone, failed);
    const Control end = wait_for_master();
    solves.status = static_cast<int>(end.word[1]);
  }
  send_control(0, kToMaster, kBye);
  return solves.status;
}

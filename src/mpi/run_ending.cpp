#include "mpi/run_ending.h"

#include <mpi.h>

#include <cstdlib>

#include "mpi/mpi_link.h"
#include "mpi/solve_master.h"

namespace {

bool pending = false;               // the rank's part is not over yet
SolveMaster* run_master = nullptr;  // rank 0's master; null on a worker

void end_run() {
  if (!pending) return;
  pending = false;
  if (run_master != nullptr) {
    run_master->end_workers(1);
  } else {
    send_control(0, kToMaster, kFatal);
    // Whatever rank 0 still says before its end needs no answer: requests are not open here.
    for (;;) {
      const Control message = wait_for_master();
      if (message.word[0] == kEnd) break;
    }
    send_control(0, kToMaster, kBye);
  }
  MPI_Finalize();
}

}  // namespace

void end_run_on_exit(SolveMaster* master) {
  run_master = master;
  pending = true;
  std::atexit(end_run);
}

void forget_run_ending() {
  pending = false;
  run_master = nullptr;
}

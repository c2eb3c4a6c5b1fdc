// An MPI job that shares the solves of a system in which conductors 2 and 10 of 12 give up and
// those above 2 take minutes (see failing_solves.h), as vornax-mpi shares them: rank 0 runs
// compute_capacitance with the hooks of a SolveMaster, the other ranks run_worker. It ends as
// vornax-mpi ends after such a failure.
#include <mpi.h>

#include <cstdio>

#include "../capacitance/failing_solves.h"
#include "common/fatal.h"
#include "mpi/run_ending.h"
#include "mpi/solve_master.h"
#include "mpi/solve_worker.h"

int main(int argc, char** argv) {
  int provided = 0;
  MPI_Init_thread(&argc, &argv, MPI_THREAD_SERIALIZED, &provided);
  int rank = 0;
  int size = 1;
  MPI_Comm_rank(MPI_COMM_WORLD, &rank);
  MPI_Comm_size(MPI_COMM_WORLD, &size);
  if (rank != 0 && std::freopen("/dev/null", "w", stdout) == nullptr) std::fclose(stdout);
  install_out_of_memory_handler(stdout);
  const InstructionSet instruction_set = best_instruction_set();
  const int32_t thread_count = 2;
  const int32_t job_threads = thread_count * size;
  int status = 0;
  if (rank == 0) {
    SolveMaster master(size - 1);
    SolveSharing sharing = master.sharing(job_threads, instruction_set);
    end_run_on_exit(&master);
    CapacitanceExtractor extractor;
    set_up_failing_solves(extractor, 12, {1, 9}, 200000);
    extractor.instruction_set = instruction_set;
    extractor.thread_count = thread_count;
    extractor.solve_sharing = &sharing;
    extractor.compute_capacitance();
    master.end_workers(status);
  } else {
    end_run_on_exit(nullptr);
    status = run_worker(instruction_set, thread_count, job_threads);
  }
  forget_run_ending();
  MPI_Finalize();
  return status;
}

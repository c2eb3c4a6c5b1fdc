// vornax-mpi: the extraction of vornax with the conductor solves shared among the ranks of an
// MPI job. Rank 0 reads the panel file, builds P and its factor, prints and writes Cap.txt; the
// other ranks receive the flat arrays and solve the lane groups they are handed.
#include <mpi.h>

#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <string>
#include <vector>

#include "capacitance/solve_sharing.h"
#include "common/thread_count.h"
#include "model/capacitance_extractor.h"
#include "mpi/node_share.h"
#include "mpi/run_ending.h"
#include "mpi/solve_master.h"
#include "mpi/solve_worker.h"
#include "run/result_file.h"
#include "run/run_start.h"

namespace {

/// Every rank has chosen its kernels' path; if VORNAX_ISA names a path that some rank's
/// processor lacks (`usable` false, with its `message`), rank 0 prints the message of the lowest
/// such rank. False when the run must end.
bool agree_on_instruction_set(int rank, int size, bool usable, std::string message) {
  const int own = usable ? size : rank;
  int lowest_unusable = size;
  MPI_Allreduce(&own, &lowest_unusable, 1, MPI_INT, MPI_MIN, MPI_COMM_WORLD);
  if (lowest_unusable == size) return true;
  if (rank == lowest_unusable && rank != 0) {
    MPI_Send(message.data(), static_cast<int>(message.size()), MPI_CHAR, 0, 0, MPI_COMM_WORLD);
  }
  if (rank == 0) {
    if (lowest_unusable != 0) {
      MPI_Status status;
      MPI_Probe(lowest_unusable, 0, MPI_COMM_WORLD, &status);
      int length = 0;
      MPI_Get_count(&status, MPI_CHAR, &length);
      message.assign(static_cast<std::size_t>(length), ' ');
      MPI_Recv(&message[0], length, MPI_CHAR, lowest_unusable, 0, MPI_COMM_WORLD,
               MPI_STATUS_IGNORE);
    }
    std::cerr << message << std::endl;
  }
  return false;
}

}  // namespace

int main(int argc, char** argv) {
  int provided = 0;
  MPI_Init_thread(&argc, &argv, MPI_THREAD_SERIALIZED, &provided);
  int rank = 0;
  int size = 1;
  MPI_Comm_rank(MPI_COMM_WORLD, &rank);
  MPI_Comm_size(MPI_COMM_WORLD, &size);
  // Rank 0 alone prints: the others' standard output, where any fatal message would go, is
  // discarded, and rank 0 reports their failures.
  if (rank != 0 && std::freopen("/dev/null", "w", stdout) == nullptr) std::fclose(stdout);

  if (argc != 2) {
    if (rank == 0) std::cout << "Program usage: VORNAX [InputFileName]" << std::endl;
    MPI_Finalize();
    return 1;
  }
  // Ranks that share a node share its cores and its memory.
  const NodeShare node = share_of_this_node();
  // The start of vornax, on every rank; rank 0 alone writes the result.
  RunStartSettings start;
  start.result_name = rank == 0 ? kResultFileName : nullptr;
  start.input_name = argv[1];
  start.sharing_processes = node.ranks;
  InstructionSet instruction_set;
  std::string message;
  const bool usable = start_run(start, instruction_set, message);

  // A worker's solve threads take turns at MPI, one call at a time.
  int least_provided = provided;
  MPI_Allreduce(&provided, &least_provided, 1, MPI_INT, MPI_MIN, MPI_COMM_WORLD);
  if (least_provided < MPI_THREAD_SERIALIZED) {
    if (rank == 0) {
      std::cerr << "Error: This MPI library does not allow calls from several threads "
                   "(MPI_THREAD_SERIALIZED)."
                << std::endl;
    }
    MPI_Finalize();
    return 1;
  }
  if (!agree_on_instruction_set(rank, size, usable, message)) {
    MPI_Finalize();
    return 1;
  }
  const int32_t thread_count = threads_for_cpus(node.cpus, std::getenv("VORNAX_THREADS"));
  int32_t job_threads = thread_count;
  MPI_Allreduce(&thread_count, &job_threads, 1, MPI_INT32_T, MPI_SUM, MPI_COMM_WORLD);

  int status = 0;
  if (rank == 0) {
    SolveMaster master(size - 1);
    SolveSharing sharing = master.sharing(job_threads, instruction_set);
    end_run_on_exit(&master);
    {
      CapacitanceExtractor extractor;
      extractor.instruction_set = instruction_set;
      extractor.thread_count = thread_count;
      extractor.solve_sharing = &sharing;
      extractor.run(argv[1]);
      // A result that could not be written is a failed run for a job launcher.
      if (!extractor.result_written) status = 1;
    }
    master.end_workers(status);
  } else {
    end_run_on_exit(nullptr);
    status = run_worker(instruction_set, thread_count, job_threads);
  }
  forget_run_ending();
  MPI_Finalize();
  // A complete run ends with 0, unlike vornax: job launchers take any other status as failure.
  return status;
}

// vornax-mpi: the extraction of vornax with the conductor solves shared among the ranks of an
// MPI job. Rank 0 reads the panel file, builds P and its factor, prints and writes Cap.txt; the
// other ranks receive the flat arrays and solve the lane groups they are handed.
#include <mpi.h>

#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <string>
#include <thread>
#include <vector>

#include "capacitance/solve_sharing.h"
#include "capacitance/solve_threads.h"
#include "common/fatal.h"
#include "common/memory_limit.h"
#include "model/capacitance_extractor.h"
#include "mpi/node_share.h"
#include "mpi/run_ending.h"
#include "mpi/solve_master.h"
#include "mpi/solve_worker.h"
#include "run/instruction_set_choice.h"
#include "run/result_file.h"
#include "run/termination_cleanup.h"

namespace {

/// Every rank chooses its kernels' path; if VORNAX_ISA names a path that some rank's processor
/// lacks, rank 0 prints the message of the lowest such rank. False when the run must end.
bool agree_on_instruction_set(int rank, int size, InstructionSet& set) {
  std::string message;
  const bool usable = instruction_set_from_environment(set, message);
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

  // A worker's solve threads take turns at MPI, one call at a time.
  if (provided < MPI_THREAD_SERIALIZED) {
    if (rank == 0) {
      std::cerr << "Error: This MPI library does not allow calls from several threads "
                   "(MPI_THREAD_SERIALIZED)."
                << std::endl;
    }
    MPI_Finalize();
    return 1;
  }
  if (argc != 2) {
    if (rank == 0) std::cout << "Program usage: VORNAX [InputFileName]" << std::endl;
    MPI_Finalize();
    return 1;
  }
  InstructionSet instruction_set;
  if (!agree_on_instruction_set(rank, size, instruction_set)) {
    MPI_Finalize();
    return 1;
  }
  // Ranks that share a node share its cores and its memory.
  const int32_t node_ranks = ranks_on_this_node();
  const int32_t thread_count =
      solve_thread_count(static_cast<int32_t>(std::thread::hardware_concurrency()), node_ranks,
                         std::getenv("VORNAX_THREADS"));
  int32_t job_threads = thread_count;
  MPI_Allreduce(&thread_count, &job_threads, 1, MPI_INT32_T, MPI_SUM, MPI_COMM_WORLD);
  install_out_of_memory_handler(stdout);
  limit_address_space_to_physical_memory(node_ranks);

  int status = 0;
  if (rank == 0) {
    // Cap.txt is this run's result or nothing, as with vornax.
    remove_stale_result(kResultFileName, argv[1]);
    clean_up_at_termination();
    SolveMaster master(size - 1);
    SolveSharing sharing = master.sharing(thread_count, job_threads, instruction_set);
    end_run_on_exit(&master);
    {
      CapacitanceExtractor extractor;
      extractor.instruction_set = instruction_set;
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

// vornax-fine-mpi: vornax-fine with the conductor solves of every level shared among the ranks
// of an MPI job. Every rank builds each level whole and solves its share of the conductors; the
// solutions are then copied to all, so every rank goes on with the same numbers and Cap.txt is
// the same bit for bit for any number of ranks. Rank 0 alone reads the input, speaks and writes.
#include <mpi.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "common/thread_count.h"
#include "fine/program/fine_run.h"
#include "fine_mpi/shared_run.h"
#include "fine_mpi/solve_gather.h"
#include "mpi/node_share.h"

int main(int argc, char** argv) {
  MPI_Init(&argc, &argv);
  int rank = 0;
  int ranks = 1;
  MPI_Comm_rank(MPI_COMM_WORLD, &rank);
  MPI_Comm_size(MPI_COMM_WORLD, &ranks);
  // Rank 0 alone prints; the others' standard output, where nothing of theirs belongs, is
  // discarded. A message of another rank on standard error is its own failure.
  if (rank != 0 && std::freopen("/dev/null", "w", stdout) == nullptr) std::fclose(stdout);
  // Ranks that share a node share its cores and its memory.
  const NodeShare node = share_of_this_node();
  abort_job_on_exit();

  FineProcess process;
  process.speaks = rank == 0;
  process.sharing_processes = node.ranks;
  process.threads = threads_for_cpus(node.cpus, std::getenv("VORNAX_THREADS"));
  process.read_input = read_on_rank_zero;
  process.agree_memory = smallest_over_ranks;
  process.share.part = rank;
  process.share.parts = ranks;
  process.share.gather = gather_solves;
  process.end_together = end_shared_run;
  const int status = run_fine(std::vector<std::string>(argv + 1, argv + argc), process);
  end_shared_run();
  return status;
}

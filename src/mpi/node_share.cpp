#include "mpi/node_share.h"

#include <mpi.h>

#include <algorithm>
#include <cstdlib>

#include "common/cpu_count.h"
#include "sparse/pcg_lanes.h"

NodeShare share_of_this_node() {
  NodeShare share;
  const std::vector<int32_t> own = affinity_cpus();
  MPI_Comm node;
  if (MPI_Comm_split_type(MPI_COMM_WORLD, MPI_COMM_TYPE_SHARED, 0, MPI_INFO_NULL, &node) !=
      MPI_SUCCESS) {
    share.cpus = static_cast<double>(own.size());
    return share;
  }
  int size = 1;
  MPI_Comm_size(node, &size);
  share.ranks = size;
  const int own_count = static_cast<int>(own.size());
  std::vector<int> counts(static_cast<std::size_t>(size));
  MPI_Allgather(&own_count, 1, MPI_INT, counts.data(), 1, MPI_INT, node);
  std::vector<int> offsets(static_cast<std::size_t>(size) + 1, 0);
  for (int r = 0; r < size; ++r) offsets[r + 1] = offsets[r] + counts[r];
  std::vector<int32_t> all(static_cast<std::size_t>(std::max(offsets[size], 1)));
  MPI_Allgatherv(own.data(), own_count, MPI_INT32_T, all.data(), counts.data(), offsets.data(),
                 MPI_INT32_T, node);
  MPI_Comm_free(&node);
  std::vector<std::vector<int32_t>> everyone(static_cast<std::size_t>(size));
  for (int r = 0; r < size; ++r) {
    everyone[r].assign(all.begin() + offsets[r], all.begin() + offsets[r + 1]);
  }
  share.cpus = shared_cpus(own, everyone);
  // A quota binds the node's ranks together: they are one job, in one cgroup.
  const double quota = cgroup_cpu_quota();
  if (quota > 0.0) share.cpus = std::min(share.cpus, quota / size);
  return share;
}

double shared_cpus(const std::vector<int32_t>& own,
                   const std::vector<std::vector<int32_t>>& everyone) {
  double cpus = 0.0;
  for (int32_t cpu : own) {
    int32_t holders = 0;
    for (const std::vector<int32_t>& mask : everyone) {
      holders += std::binary_search(mask.begin(), mask.end(), cpu) ? 1 : 0;
    }
    cpus += 1.0 / std::max(holders, 1);
  }
  return cpus;
}

int32_t job_group_width(int32_t conductor_count, int32_t job_threads, InstructionSet set) {
  return std::min(lane_group_width(conductor_count, std::max(job_threads, 1)),
                  widest_group_for(set));
}

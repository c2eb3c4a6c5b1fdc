#include "mpi/node_share.h"

#include <mpi.h>

#include <algorithm>
#include <cstdlib>

#include "sparse/pcg_lanes.h"

int32_t threads_per_rank(int32_t node_cores, int32_t ranks_on_node, const char* setting) {
  int32_t count = ranks_on_node > 0 ? node_cores / ranks_on_node : node_cores;
  if (setting != nullptr) {
    const int32_t wanted = std::atoi(setting);
    if (wanted >= 1 && (count < 1 || wanted < count)) count = wanted;
  }
  return count < 1 ? 1 : count;
}

int32_t ranks_on_this_node() {
  MPI_Comm node;
  if (MPI_Comm_split_type(MPI_COMM_WORLD, MPI_COMM_TYPE_SHARED, 0, MPI_INFO_NULL, &node) !=
      MPI_SUCCESS) {
    return 1;
  }
  int size = 1;
  MPI_Comm_size(node, &size);
  MPI_Comm_free(&node);
  return size;
}

int32_t job_group_width(int32_t conductor_count, int32_t job_threads, InstructionSet set) {
  return std::min(lane_group_width(conductor_count, std::max(job_threads, 1)),
                  widest_group_for(set));
}

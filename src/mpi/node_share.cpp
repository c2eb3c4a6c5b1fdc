#include "mpi/node_share.h"

#include <mpi.h>

#include <algorithm>
#include <cstdlib>

#include "sparse/pcg_lanes.h"

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

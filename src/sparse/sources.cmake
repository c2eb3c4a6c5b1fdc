set(VORNAX_SPARSE_SOURCES
  src/sparse/entry_pool.cpp
  src/sparse/sparse_matrix.cpp
  src/sparse/multiply_vector.cpp
  src/sparse/incomplete_cholesky.cpp
  src/sparse/solve_factored.cpp
  src/sparse/pcg.cpp
  src/sparse/write_dense.cpp
  src/sparse/compact_arrays.cpp
  src/sparse/blocked_sums.cpp
  src/sparse/lane_workspace.cpp
  src/sparse/parked_solves.cpp
  src/sparse/solve_queue.cpp
  src/sparse/team_sync.cpp
  src/sparse/split_plan.cpp
  src/sparse/group_step.cpp
  src/sparse/sharing_pace.cpp
  src/sparse/solve_teams.cpp
  src/sparse/lane_group.cpp
  src/sparse/pcg_lanes.cpp
  src/sparse/lane_kernels.cpp
  src/sparse/lane_kernels_sse2.cpp
  src/sparse/lane_kernels_avx2.cpp
  src/sparse/lane_kernels_avx512.cpp
  src/sparse/position_index.cpp
)
# Each path of the lane kernels is compiled for its own instruction set; the widest one the
# processor has is chosen at run time (or the one VORNAX_ISA names).
set_source_files_properties(src/sparse/lane_kernels_avx2.cpp PROPERTIES COMPILE_OPTIONS "-mavx2")
set_source_files_properties(src/sparse/lane_kernels_avx512.cpp PROPERTIES COMPILE_OPTIONS "-mavx512f")

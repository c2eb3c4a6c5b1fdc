target_sources(vornax_core PRIVATE
  src/sparse/entry_pool.cpp
  src/sparse/sparse_matrix.cpp
  src/sparse/multiply_vector.cpp
  src/sparse/incomplete_cholesky.cpp
  src/sparse/solve_factored.cpp
  src/sparse/pcg.cpp
  src/sparse/write_dense.cpp
  src/sparse/compact_arrays.cpp
  src/sparse/pcg_lanes.cpp
  src/sparse/position_index.cpp
)

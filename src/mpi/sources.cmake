# vornax-mpi and the MPI side of its solves, built only with VORNAX_MPI.
add_library(vornax_mpi_core STATIC
  src/mpi/group_dispenser.cpp
  src/mpi/node_share.cpp
  src/mpi/mpi_link.cpp
  src/mpi/array_broadcast.cpp
  src/mpi/solve_master.cpp
  src/mpi/solve_worker.cpp
  src/mpi/run_ending.cpp
)
target_link_libraries(vornax_mpi_core PUBLIC vornax_core MPI::MPI_CXX)

add_executable(vornax-mpi src/mpi/mpi_main.cpp)
target_link_libraries(vornax-mpi PRIVATE vornax_mpi_core)
install(TARGETS vornax-mpi RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})

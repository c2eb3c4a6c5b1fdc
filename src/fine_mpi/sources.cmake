# vornax-fine-mpi: vornax-fine with its conductor solves shared among the ranks of an MPI job,
# built only with VORNAX_MPI.
add_library(vornax_fine_mpi_core STATIC
  src/fine_mpi/solve_gather.cpp
  src/fine_mpi/shared_run.cpp
)
target_link_libraries(vornax_fine_mpi_core PUBLIC vornax_fine_core vornax_mpi_core MPI::MPI_CXX)

add_executable(vornax-fine-mpi src/fine_mpi/main.cpp)
target_link_libraries(vornax-fine-mpi PRIVATE vornax_fine_mpi_core)
install(TARGETS vornax-fine-mpi RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})

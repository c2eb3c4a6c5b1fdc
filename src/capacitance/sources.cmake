target_sources(vornax_core PRIVATE
  src/capacitance/p_matrix_assembly.cpp
  src/capacitance/capacitance_matrix.cpp
)

set(VORNAX_CAPACITANCE_SOURCES
  src/capacitance/p_matrix_assembly.cpp
  src/capacitance/capacitance_matrix.cpp
  src/capacitance/conductor_columns.cpp
)

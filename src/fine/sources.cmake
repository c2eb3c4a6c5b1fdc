# The reader on its own as well, for the fuzz target that builds it without the rest.
set(VORNAX_FINE_READER_SOURCES
  src/fine/rect_from_corners.cpp
  src/fine/panel_contacts.cpp
  src/fine/structure_reader.cpp
)
set(VORNAX_FINE_SOURCES
  ${VORNAX_FINE_READER_SOURCES}
  src/fine/galerkin_integral.cpp
  src/fine/taylor_terms.cpp
  src/fine/feature_scale.cpp
  src/fine/level_mesh.cpp
  src/fine/cluster_tree.cpp
  src/fine/interaction_lists.cpp
  src/fine/parallel_for.cpp
  src/fine/near_field.cpp
  src/fine/far_field.cpp
  src/fine/incomplete_factor.cpp
  src/fine/lane_pcg.cpp
  src/fine/level_solve.cpp
  src/fine/level_timer.cpp
  src/fine/fine_kernels.cpp
  src/fine/fine_kernels_sse2.cpp
  src/fine/fine_kernels_avx2.cpp
  src/fine/fine_kernels_avx512.cpp
  src/fine/convergence.cpp
  src/fine/fine_arguments.cpp
  src/fine/fine_extraction.cpp
)
# The solve kernels are compiled once per instruction set and chosen at run time.
set_source_files_properties(src/fine/fine_kernels_avx2.cpp PROPERTIES COMPILE_OPTIONS "-mavx2")
set_source_files_properties(src/fine/fine_kernels_avx512.cpp PROPERTIES COMPILE_OPTIONS "-mavx512f")

# The reader on its own as well, for the fuzz target that builds it without the rest.
set(VORNAX_FINE_READER_SOURCES
  src/fine/rect_from_corners.cpp
  src/fine/panel_contacts.cpp
  src/fine/structure_reader.cpp
)
# The Galerkin coefficients between rectangles.
set(VORNAX_FINE_COEFFICIENT_SOURCES
  src/fine/closed_form.cpp
  src/fine/closed_form_kernels.cpp
  src/fine/closed_form_kernels_sse2.cpp
  src/fine/closed_form_kernels_avx2.cpp
  src/fine/far_expansion.cpp
  src/fine/gauss_legendre.cpp
  src/fine/rectangle_potential.cpp
  src/fine/galerkin_integral.cpp
)
set(VORNAX_FINE_SOURCES
  ${VORNAX_FINE_READER_SOURCES}
  ${VORNAX_FINE_COEFFICIENT_SOURCES}
  src/fine/taylor_terms.cpp
  src/fine/feature_scale.cpp
  src/fine/level_mesh.cpp
  src/fine/cluster_tree.cpp
  src/fine/interaction_lists.cpp
  src/fine/parallel_for.cpp
  src/fine/coefficient_cache.cpp
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
# The solve kernels and the closed forms' sums are compiled once per instruction set and chosen
# at run time; the closed forms give the same bits on every path.
set_source_files_properties(src/fine/fine_kernels_avx2.cpp PROPERTIES COMPILE_OPTIONS "-mavx2")
set_source_files_properties(src/fine/fine_kernels_avx512.cpp PROPERTIES COMPILE_OPTIONS "-mavx512f")
set_source_files_properties(src/fine/closed_form_kernels_avx2.cpp PROPERTIES COMPILE_OPTIONS "-mavx2")

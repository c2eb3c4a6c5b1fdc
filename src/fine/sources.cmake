# The Galerkin coefficients between rectangles.
set(VORNAX_FINE_COEFFICIENT_SOURCES
  src/fine/coefficients/closed_form.cpp
  src/fine/coefficients/closed_form_kernels.cpp
  src/fine/coefficients/closed_form_kernels_sse2.cpp
  src/fine/coefficients/closed_form_kernels_avx2.cpp
  src/fine/coefficients/pair_expansion.cpp
  src/fine/coefficients/gauss_legendre.cpp
  src/fine/coefficients/rectangle_potential.cpp
  src/fine/coefficients/galerkin_integral.cpp
)
# The Green's function of a planar layer stack as images, on common/ and structure/ only.
set(VORNAX_FINE_MEDIA_SOURCES
  src/fine/media/layer_stack.cpp
  src/fine/media/image_term.cpp
  src/fine/media/pair_spectrum.cpp
  src/fine/media/householder_qr.cpp
  src/fine/media/variable_projection.cpp
  src/fine/media/image_sum_bound.cpp
  src/fine/media/exponential_fit.cpp
  src/fine/media/tolerance_split.cpp
  src/fine/media/pair_fit.cpp
  src/fine/media/layered_kernel.cpp
)
# By stage, each folder building only on those above it and on src/structure.
set(VORNAX_FINE_SOURCES
  ${VORNAX_FINE_COEFFICIENT_SOURCES}
  ${VORNAX_FINE_MEDIA_SOURCES}
  src/fine/coefficients/coefficient_cache.cpp
  src/fine/mesh/feature_scale.cpp
  src/fine/mesh/level_mesh.cpp
  src/fine/clusters/cluster_tree.cpp
  src/fine/clusters/interaction_lists.cpp
  src/fine/far_field/taylor_terms.cpp
  src/fine/far_field/far_field.cpp
  src/fine/solve/near_field.cpp
  src/fine/solve/incomplete_factor.cpp
  src/fine/solve/fine_kernels.cpp
  src/fine/solve/fine_kernels_sse2.cpp
  src/fine/solve/fine_kernels_avx2.cpp
  src/fine/solve/fine_kernels_avx512.cpp
  src/fine/solve/lane_pcg.cpp
  src/fine/solve/level_solve.cpp
  src/fine/estimate/convergence.cpp
  src/fine/program/level_timer.cpp
  src/fine/program/fine_arguments.cpp
  src/fine/program/fine_extraction.cpp
)
# The solve kernels and the closed forms' sums are compiled once per instruction set and chosen
# at run time; the closed forms give the same bits on every path.
set_source_files_properties(src/fine/solve/fine_kernels_avx2.cpp PROPERTIES COMPILE_OPTIONS "-mavx2")
set_source_files_properties(src/fine/solve/fine_kernels_avx512.cpp PROPERTIES COMPILE_OPTIONS "-mavx512f")
set_source_files_properties(src/fine/coefficients/closed_form_kernels_avx2.cpp PROPERTIES COMPILE_OPTIONS "-mavx2")

# The Galerkin coefficients between rectangles: of potential, and of the normal field.
set(VORNAX_FINE_COEFFICIENT_SOURCES
  src/fine/coefficients/closed_form.cpp
  src/fine/coefficients/closed_form_kernels.cpp
  src/fine/coefficients/closed_form_kernels_sse2.cpp
  src/fine/coefficients/closed_form_kernels_avx2.cpp
  src/fine/coefficients/closed_form_kernels_avx512.cpp
  src/fine/coefficients/inverse_distance_table.cpp
  src/fine/coefficients/far_pair.cpp
  src/fine/coefficients/image_pair.cpp
  src/fine/coefficients/pair_expansion.cpp
  src/fine/coefficients/gauss_legendre.cpp
  src/fine/coefficients/rectangle_potential.cpp
  src/fine/coefficients/pair_means.cpp
  src/fine/coefficients/galerkin_integral.cpp
  src/fine/coefficients/layered_integral.cpp
  src/fine/coefficients/normal_field_kernels.cpp
  src/fine/coefficients/normal_field_kernels_sse2.cpp
  src/fine/coefficients/normal_field_kernels_avx2.cpp
  src/fine/coefficients/normal_field_kernels_avx512.cpp
  src/fine/coefficients/normal_closed_form.cpp
  src/fine/coefficients/normal_expansion.cpp
  src/fine/coefficients/normal_field_integral.cpp
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
  src/fine/mesh/face_hierarchy.cpp
  src/fine/mesh/feature_scale.cpp
  src/fine/mesh/master_grading.cpp
  src/fine/mesh/graded_mesh.cpp
  src/fine/mesh/middle_grading.cpp
  src/fine/mesh/sized_middle.cpp
  src/fine/mesh/whole_faces.cpp
  src/fine/mesh/solve_faces.cpp
  src/fine/clusters/cluster_tree.cpp
  src/fine/clusters/interaction_lists.cpp
  src/fine/far_field/taylor_terms.cpp
  src/fine/far_field/panel_moments.cpp
  src/fine/far_field/far_field.cpp
  src/fine/far_field/far_field_images.cpp
  src/fine/far_field/far_product.cpp
  src/fine/far_field/far_product_sse2.cpp
  src/fine/far_field/far_product_avx2.cpp
  src/fine/far_field/far_product_avx512.cpp
  src/fine/solve/near_field.cpp
  src/fine/solve/incomplete_factor.cpp
  src/fine/solve/near_kernels.cpp
  src/fine/solve/near_kernels_sse2.cpp
  src/fine/solve/near_kernels_avx2.cpp
  src/fine/solve/near_kernels_avx512.cpp
  src/fine/solve/coarse_space.cpp
  src/fine/solve/conductor_solves.cpp
  src/fine/solve/queued_solves.cpp
  src/fine/solve/level_preconditioner.cpp
  src/fine/solve/lane_pcg.cpp
  src/fine/solve/near_rows.cpp
  src/fine/solve/single_near.cpp
  src/fine/solve/general_system.cpp
  src/fine/solve/leaf_blocks.cpp
  src/fine/solve/window_rows.cpp
  src/fine/solve/conductor_rows_choice.cpp
  src/fine/solve/lane_gmres.cpp
  src/fine/solve/master_solves.cpp
  src/fine/solve/symmetric_level.cpp
  src/fine/solve/medium_level.cpp
  src/fine/solve/level_timer.cpp
  src/fine/solve/level_memory.cpp
  src/fine/solve/solve_level.cpp
  src/fine/estimate/convergence.cpp
  src/fine/program/arguments.cpp
  src/fine/program/extraction.cpp
  src/fine/program/fine_run.cpp
  src/fine/program/kernel_floor.cpp
  src/fine/program/named_output.cpp
)
# The far product, the near kernels and the closed forms' sums are compiled once per instruction
# set and chosen at run time; every path gives the same bits.
set_source_files_properties(src/fine/far_field/far_product_avx2.cpp PROPERTIES COMPILE_OPTIONS "-mavx2")
set_source_files_properties(src/fine/far_field/far_product_avx512.cpp PROPERTIES COMPILE_OPTIONS "-mavx512f")
set_source_files_properties(src/fine/solve/near_kernels_avx2.cpp PROPERTIES COMPILE_OPTIONS "-mavx2")
set_source_files_properties(src/fine/solve/near_kernels_avx512.cpp PROPERTIES COMPILE_OPTIONS "-mavx512f")
set_source_files_properties(src/fine/coefficients/closed_form_kernels_avx2.cpp PROPERTIES COMPILE_OPTIONS "-mavx2")
set_source_files_properties(src/fine/coefficients/normal_field_kernels_avx2.cpp PROPERTIES COMPILE_OPTIONS "-mavx2")
set_source_files_properties(src/fine/coefficients/closed_form_kernels_avx512.cpp PROPERTIES COMPILE_OPTIONS "-mavx512f")
set_source_files_properties(src/fine/coefficients/normal_field_kernels_avx512.cpp PROPERTIES COMPILE_OPTIONS "-mavx512f")

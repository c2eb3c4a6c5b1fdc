set(VORNAX_FINE_SOURCES
  src/fine/closed_form.cpp
  src/fine/closed_form_kernels.cpp
  src/fine/closed_form_kernels_sse2.cpp
  src/fine/closed_form_kernels_avx2.cpp
  src/fine/far_expansion.cpp
  src/fine/gauss_legendre.cpp
  src/fine/rectangle_potential.cpp
  src/fine/galerkin_integral.cpp
)
# The closed forms' sums are compiled once per instruction set; the widest the processor has is
# chosen at run time, and all give the same bits.
set_source_files_properties(src/fine/closed_form_kernels_avx2.cpp PROPERTIES COMPILE_OPTIONS "-mavx2")

set(VORNAX_FINE_SOURCES
  src/fine/closed_form.cpp
  src/fine/far_expansion.cpp
  src/fine/gauss_legendre.cpp
  src/fine/rectangle_potential.cpp
  src/fine/galerkin_integral.cpp
)

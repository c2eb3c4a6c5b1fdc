#pragma once

#include <vector>

/// The potential G'(rho, z, zs) of a unit free charge at height zs in planar layers (bottom
/// layer and top layer without end; `top` the boundaries, ascending), with the potential of a
/// charge q being q G' / (4 pi eps0), computed without images: for each wavenumber k the
/// ordinary differential equation (eps phi')' = eps k^2 phi is solved by the admittance
/// phi'/(k phi) carried through the layers from each end (long double), and the Sommerfeld
/// integral of J0(k rho) times it by Gauss-Legendre rules between the zeros of J0, after the
/// direct term and the first reflections at the source's own interfaces are taken out in
/// closed form. Accurate to about 1e-11 relative where the remainder decays fast.
double sommerfeld_potential(const std::vector<double>& permittivity, const std::vector<double>& top,
                            double rho, double z, double zs);

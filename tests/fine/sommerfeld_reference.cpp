#include "sommerfeld_reference.h"

#include <cmath>

#include "fine/coefficients/gauss_legendre.h"

namespace {

using Real = long double;

struct Layers {
  const std::vector<double>& eps;  // permittivity of each layer
  const std::vector<double>& top;  // boundaries
  Real bottom(size_t l) const { return l == 0 ? -HUGE_VALL : top[l - 1]; }
  Real upper(size_t l) const { return l + 1 == eps.size() ? HUGE_VALL : top[l]; }
  size_t layer(Real z) const {
    size_t l = 0;
    while (l + 1 < eps.size() && z > top[l]) ++l;
    return l;
  }
};

// ln of cosh(x) + y sinh(x) for x >= 0, without overflow.
Real log_growth(Real x, Real y) {
  const Real decay = std::exp(-2 * x);
  return x + std::log((1 + y) / 2 + (1 - y) / 2 * decay);
}

// The solution regular below, carried up from layer 0 to z: its y = phi'/(k phi) at z, and
// ln(phi(z) / phi(from)) for from <= z.
Real regular_below(const Layers& s, Real k, Real from, Real z, Real* log_ratio) {
  Real y = 1;
  *log_ratio = 0;
  for (size_t l = 0; l < s.eps.size(); ++l) {
    if (l > 0) y = y * s.eps[l - 1] / s.eps[l];  // eps phi' continuous
    const Real lo = s.bottom(l), hi = std::fmin(s.upper(l), z);
    // Only the part above `from` counts in the ratio; y moves along the whole layer.
    if (std::isfinite(lo)) {
      const Real start = std::fmax(lo, std::fmin(from, hi));
      if (start > lo) {
        const Real t = std::tanh(k * (start - lo));
        y = (y + t) / (1 + y * t);
      }
      if (hi > start) {
        *log_ratio += log_growth(k * (hi - start), y);
        const Real t = std::tanh(k * (hi - start));
        y = (y + t) / (1 + y * t);
      }
    } else if (hi > from) {
      *log_ratio += k * (hi - from);  // y = 1 in the lowest layer
    }
    if (z <= s.upper(l)) return y;
  }
  return y;
}

// The solution regular above, carried down to z: y at z and ln(phi(z) / phi(from)), from >= z.
Real regular_above(const Layers& s, Real k, Real from, Real z, Real* log_ratio) {
  Real y = -1;
  *log_ratio = 0;
  for (size_t l = s.eps.size(); l-- > 0;) {
    if (l + 1 < s.eps.size()) y = y * s.eps[l + 1] / s.eps[l];
    const Real hi = s.upper(l), lo = std::fmax(s.bottom(l), z);
    if (std::isfinite(hi)) {
      const Real start = std::fmin(hi, std::fmax(from, lo));
      if (start < hi) {
        const Real t = std::tanh(k * (hi - start));
        y = (y - t) / (1 - y * t);
      }
      if (start > lo) {
        *log_ratio += log_growth(k * (start - lo), -y);
        const Real t = std::tanh(k * (start - lo));
        y = (y - t) / (1 - y * t);
      }
    } else if (from > lo) {
      *log_ratio += k * (from - lo);
    }
    if (z >= s.bottom(l)) return y;
  }
  return y;
}

// g(k, z, zs): the transform of G' at one wavenumber.
Real spectral(const Layers& s, Real k, Real z, Real zs) {
  Real unused, ratio;
  const size_t i = s.layer(zs);
  const Real above = s.eps[i] * regular_above(s, k, zs, zs, &unused);
  const Real below = s.eps[i] * regular_below(s, k, zs, zs, &unused);
  const Real at_source = 2 / (below - above);  // eps phi' jumps by -2k at the charge
  if (z >= zs) {
    regular_above(s, k, z, zs, &ratio);  // ln(phi(zs) / phi(z))
    return at_source * std::exp(-ratio);
  }
  regular_below(s, k, z, zs, &ratio);
  return at_source * std::exp(-ratio);
}

// The part of g taken out in closed form: sum of c_n e^{-k h_n}, whose transform is c_n / r_n.
struct Singular {
  Real weight[3];  // c_n
  Real height[3];  // h_n
};

Singular singular_part(const Layers& s, Real z, Real zs) {
  const size_t i = s.layer(zs), j = s.layer(z);
  Singular part = {{0, 0, 0}, {std::fabs(z - zs), 0, 0}};
  if (i == j) {
    part.weight[0] = 1 / static_cast<Real>(s.eps[i]);
    if (i > 0) {
      part.weight[1] = (s.eps[i] - s.eps[i - 1]) / (s.eps[i] + s.eps[i - 1]) / s.eps[i];
      part.height[1] = z + zs - 2 * s.bottom(i);
    }
    if (i + 1 < s.eps.size()) {
      part.weight[2] = (s.eps[i] - s.eps[i + 1]) / (s.eps[i] + s.eps[i + 1]) / s.eps[i];
      part.height[2] = 2 * s.upper(i) - z - zs;
    }
    return part;
  }
  // Across interfaces the wave keeps 2 eps_a / (eps_a + eps_b) at each.
  Real transmitted = 1 / static_cast<Real>(s.eps[i]);
  const int step = j > i ? 1 : -1;
  for (size_t l = i; l != j; l += step) {
    transmitted *= 2 * static_cast<Real>(s.eps[l]) / (s.eps[l] + s.eps[l + step]);
  }
  part.weight[0] = transmitted;
  return part;
}

}  // namespace

double sommerfeld_potential(const std::vector<double>& permittivity, const std::vector<double>& top,
                            double rho, double z, double zs) {
  const Layers s = {permittivity, top};
  const Singular part = singular_part(s, z, zs);
  Real closed = 0;
  for (int n = 0; n < 3; ++n) {
    if (part.weight[n] != 0) closed += part.weight[n] / std::hypot(Real(rho), part.height[n]);
  }
  const GaussRule rule = gauss_legendre(16);
  const Real height = top.empty() ? 1 : top.back() - top.front() + 1;
  Real sum = 0, k = 0, largest = 0;
  int quiet = 0;
  while (quiet < 8) {
    Real width = std::fmax(0.25L * k, 1e-7L / height);
    if (rho > 0) width = std::fmin(width, M_PIl / rho);
    Real part_sum = 0, part_size = 0;
    for (int q = 0; q < 16; ++q) {
      const Real kq = k + width * (1 + rule.node[q]) / 2;
      Real g = spectral(s, kq, z, zs);
      for (int n = 0; n < 3; ++n) g -= part.weight[n] * std::exp(-kq * part.height[n]);
      part_size = std::fmax(part_size, std::fabs(g));
      part_sum += rule.weight[q] * width / 2 * g * std::cyl_bessel_j(0.0L, kq * rho);
    }
    sum += part_sum;
    largest = std::fmax(largest, part_size);
    quiet = part_size <= 1e-17L * largest ? quiet + 1 : 0;
    k += width;
  }
  return static_cast<double>(closed + sum);
}

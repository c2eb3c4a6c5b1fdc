// Conjugate gradients for P·x = b, preconditioned by the factor F ≈ P: each iteration applies
// F⁻¹ to the residual. The stopping rule is absolute: ‖r‖₂ < tolerance, tested after each update.
//
// The solve gives up (-1) by the rules of pcg_rules.h.

#include "sparse/pcg.h"

#include <cmath>

#include "sparse/pcg_rules.h"

double dot_product(const double* a, const double* b, int32_t n) {
  double sum = 0.0;
  for (int32_t i = 0; i < n; ++i) sum += a[i] * b[i];
  return sum;
}

namespace {

// x = x + α·p, r = r - α·q, in one pass.
void update(int32_t n, double alpha, const double* p, const double* q, double* x, double* r) {
  for (int32_t i = 0; i < n; ++i) {
    x[i] = alpha * p[i] + x[i];
    r[i] = r[i] - alpha * q[i];
  }
}

}  // namespace

int32_t SparseMatrix::pcg_solve(double* x, const SparseMatrix& P, const double* b, double* p,
                                double* r, double* z, double* q, double tolerance) const {
  const int32_t n = cols;
  const int64_t iteration_limit = pcg_iteration_limit(n);

  P.multiply_vector(q, x);
  for (int32_t i = 0; i < n; ++i) r[i] = b[i] - q[i];  // r = b - P·x
  solve_factored(z, r);                                // z = F⁻¹·r
  for (int32_t i = 0; i < n; ++i) p[i] = z[i];
  P.multiply_vector(q, p);  // q = P·p
  double rho = dot_product(r, z, n);
  double pq = dot_product(p, q, n);
  if (is_breakdown(pq)) return -1;
  update(n, rho / pq, p, q, x, r);
  int32_t iterations = 1;

  while (true) {
    const double residual_norm = std::sqrt(dot_product(r, r, n));
    if (residual_norm < tolerance) return iterations;
    if (std::isnan(residual_norm) || iterations >= iteration_limit) return -1;
    ++iterations;
    solve_factored(z, r);
    const double rho_new = dot_product(r, z, n);
    const double beta = rho_new / rho;
    for (int32_t i = 0; i < n; ++i) p[i] = beta * p[i] + z[i];  // p = z + β·p
    P.multiply_vector(q, p);
    pq = dot_product(p, q, n);
    if (is_breakdown(pq)) return -1;
    update(n, rho_new / pq, p, q, x, r);
    rho = rho_new;
  }
}

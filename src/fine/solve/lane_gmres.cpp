#include "fine/solve/lane_gmres.h"

#include <cmath>

namespace {

typedef Lanes<kNarrowLanes> L;

void dot(const L* a, const L* b, int32_t n, double* out) {
  for (int32_t w = 0; w < kNarrowLanes; ++w) out[w] = 0.0;
  for (int32_t i = 0; i < n; ++i)
    for (int32_t w = 0; w < kNarrowLanes; ++w) out[w] += a[i].lane[w] * b[i].lane[w];
}

/// The Hessenberg matrix, rotations and right-hand side of each lane in one cycle.
struct Arnoldi {
  explicit Arnoldi(int32_t m) : m(m), h((m + 1) * m), cs(m), sn(m), g(m + 1) {}
  int32_t m;          // the restart
  std::vector<L> h;   // h[row * m + column]
  std::vector<L> cs;  // the Givens rotations' cosines
  std::vector<L> sn;  // and sines
  std::vector<L> g;   // the rotated right-hand side; |g[k]| the residual after k steps
};

/// Rotates column k of lane w's Hessenberg matrix by the rotations before it and a new one that
/// zeroes its entry below the diagonal; returns the residual norm after the step.
double rotate(Arnoldi& a, int32_t k, int32_t w) {
  const int32_t m = a.m;
  for (int32_t j = 0; j < k; ++j) {
    const double h0 = a.h[j * m + k].lane[w], h1 = a.h[(j + 1) * m + k].lane[w];
    a.h[j * m + k].lane[w] = a.cs[j].lane[w] * h0 + a.sn[j].lane[w] * h1;
    a.h[(j + 1) * m + k].lane[w] = -a.sn[j].lane[w] * h0 + a.cs[j].lane[w] * h1;
  }
  const double h0 = a.h[k * m + k].lane[w], h1 = a.h[(k + 1) * m + k].lane[w];
  const double r = std::hypot(h0, h1);
  const double c = r > 0.0 ? h0 / r : 1.0, s = r > 0.0 ? h1 / r : 0.0;
  a.cs[k].lane[w] = c;
  a.sn[k].lane[w] = s;
  a.h[k * m + k].lane[w] = r;
  a.h[(k + 1) * m + k].lane[w] = 0.0;
  const double gk = a.g[k].lane[w];
  a.g[k].lane[w] = c * gk;
  a.g[k + 1].lane[w] = -s * gk;
  return std::fabs(a.g[k + 1].lane[w]);
}

/// x += M⁻¹ Σ_j y_j v_j, y solving lane w's triangle of `steps[w]` columns.
void update_solution(const GeneralSystem& A, const BlockPreconditioner& M, Arnoldi& a,
                     const int32_t* steps, L* x, GmresWork& work) {
  const int32_t n = A.near.n, m = a.m;
  std::vector<L> y(m);
  for (int32_t w = 0; w < kNarrowLanes; ++w) {
    for (int32_t j = steps[w] - 1; j >= 0; --j) {
      double sum = a.g[j].lane[w];
      for (int32_t k = j + 1; k < steps[w]; ++k) sum -= a.h[j * m + k].lane[w] * y[k].lane[w];
      const double pivot = a.h[j * m + j].lane[w];
      y[j].lane[w] = pivot != 0.0 ? sum / pivot : 0.0;
    }
    for (int32_t j = steps[w]; j < m; ++j) y[j].lane[w] = 0.0;
  }
  L* u = work.w.get();
  for (int32_t i = 0; i < n; ++i) u[i] = L{};
  for (int32_t j = 0; j < m; ++j) {
    const L* v = work.v[j].get();
    for (int32_t i = 0; i < n; ++i)
      for (int32_t w = 0; w < kNarrowLanes; ++w) u[i].lane[w] += y[j].lane[w] * v[i].lane[w];
  }
  apply_block_preconditioner(A, M, u, work.z.get(), work.preconditioner.get());
  for (int32_t i = 0; i < n; ++i)
    for (int32_t w = 0; w < kNarrowLanes; ++w) x[i].lane[w] += work.z[i].lane[w];
}

}  // namespace

GmresWork::GmresWork(const FarField& far_field, int32_t n, int32_t conductor_rows, int32_t m)
    : restart(m),
      far(far_field),
      w(new L[n]),
      z(new L[n]),
      preconditioner(new L[kBlockPreconditionerVectors * int64_t{conductor_rows}]) {
  for (int32_t j = 0; j <= m; ++j) v.emplace_back(new L[n]);
}

int64_t GmresWork::bytes(const FarField& far, int32_t n, int32_t conductor_rows, int32_t m) {
  return static_cast<int64_t>(sizeof(L)) *
             ((m + 3) * int64_t{n} + kBlockPreconditionerVectors * int64_t{conductor_rows}) +
         far.work_bytes();
}

std::vector<LaneOutcome> gmres_lanes(const GeneralSystem& A, int32_t degree,
                                     const BlockPreconditioner& M, const L* b, L* x,
                                     const double* bound, int32_t max_iterations, GmresWork& work) {
  const int32_t n = A.near.n, m = work.restart;
  std::vector<LaneOutcome> outcome(kNarrowLanes);
  Arnoldi a(m);
  int32_t products = 0;
  while (true) {
    // The residual, the first basis vector and the lanes still running.
    L* v0 = work.v[0].get();
    apply_general(A, degree, x, work.w.get(), work.far);
    for (int32_t i = 0; i < n; ++i)
      for (int32_t w = 0; w < kNarrowLanes; ++w) v0[i].lane[w] = b[i].lane[w] - work.w[i].lane[w];
    double beta[kNarrowLanes];
    dot(v0, v0, n, beta);
    bool active[kNarrowLanes];
    int32_t running = 0, steps[kNarrowLanes] = {};
    for (int32_t w = 0; w < kNarrowLanes; ++w) {
      beta[w] = std::sqrt(beta[w]);
      active[w] = !outcome[w].converged && !(beta[w] <= bound[w]);
      if (!active[w] && !(beta[w] > bound[w])) outcome[w].converged = true;
      running += active[w] ? 1 : 0;
      a.g[0].lane[w] = beta[w];
      const double scale = beta[w] > 0.0 ? 1.0 / beta[w] : 0.0;
      for (int32_t i = 0; i < n; ++i) v0[i].lane[w] *= scale;
    }
    if (running == 0 || products >= max_iterations) break;
    for (int32_t k = 0; k < m && running > 0 && products < max_iterations; ++k) {
      L* vk = work.v[k].get();
      L* next = work.v[k + 1].get();
      apply_block_preconditioner(A, M, vk, work.z.get(), work.preconditioner.get());
      apply_general(A, degree, work.z.get(), next, work.far);
      ++products;
      for (int32_t j = 0; j <= k; ++j) {  // modified Gram-Schmidt
        double h[kNarrowLanes];
        dot(next, work.v[j].get(), n, h);
        const L* vj = work.v[j].get();
        for (int32_t i = 0; i < n; ++i)
          for (int32_t w = 0; w < kNarrowLanes; ++w) next[i].lane[w] -= h[w] * vj[i].lane[w];
        for (int32_t w = 0; w < kNarrowLanes; ++w) a.h[j * m + k].lane[w] = h[w];
      }
      double norm[kNarrowLanes];
      dot(next, next, n, norm);
      for (int32_t w = 0; w < kNarrowLanes; ++w) {
        norm[w] = std::sqrt(norm[w]);
        a.h[(k + 1) * m + k].lane[w] = norm[w];
        const double scale = norm[w] > 0.0 ? 1.0 / norm[w] : 0.0;
        for (int32_t i = 0; i < n; ++i) next[i].lane[w] *= scale;
        if (!active[w]) continue;
        const double residual = rotate(a, k, w);
        steps[w] = k + 1;
        outcome[w].iterations += 1;
        if (residual <= bound[w] || norm[w] == 0.0) {
          active[w] = false;
          --running;
        }
      }
    }
    update_solution(A, M, a, steps, x, work);
  }
  return outcome;
}

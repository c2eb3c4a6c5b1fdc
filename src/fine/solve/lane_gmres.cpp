#include "fine/solve/lane_gmres.h"

#include <algorithm>
#include <cmath>

namespace {

typedef Lanes<kNarrowLanes> L;

/// Cycles a lane's residual may take to halve before the lane gives up: restarted GMRES that
/// stalls would otherwise run to its limit of products, hours on a fine level.
constexpr int32_t kStalledCycles = 10;

void dot(const L* a, const L* b, int32_t n, double* out) {
  for (int32_t w = 0; w < kNarrowLanes; ++w) out[w] = 0.0;
  for (int32_t i = 0; i < n; ++i)
    for (int32_t w = 0; w < kNarrowLanes; ++w) out[w] += a[i].lane[w] * b[i].lane[w];
}

/// The Hessenberg matrix, rotations and right-hand side of each lane in one cycle.
struct Arnoldi {
  Arnoldi(int32_t m, int32_t recycled)
      : m(m), h((m + 1) * m), b(recycled * m), cs(m), sn(m), g(m + 1) {}
  int32_t m;          // the restart
  std::vector<L> h;   // h[row * m + column]
  std::vector<L> b;   // b[j * m + column]: the recycled c_j's part of the column's product
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

/// x += M⁻¹ Σ_j y_j v_j − U B y, y solving lane w's triangle of `steps[w]` columns: the product
/// of the step is C B y + V H y, and only V H y is what the rotations made small.
void update_solution(const GeneralSystem& A, const BlockPreconditioner& M, Arnoldi& a,
                     const int32_t* steps, L* x, GmresWork& work, const RecycledSpace* recycle,
                     int32_t recycled) {
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
  // Only the basis vectors this cycle made: those after them hold whatever the work space held,
  // and zero times a leftover NaN would still be NaN.
  int32_t made = 0;
  for (int32_t w = 0; w < kNarrowLanes; ++w) made = std::max(made, steps[w]);
  L* u = work.w.get();
  for (int32_t i = 0; i < n; ++i) u[i] = L{};
  for (int32_t j = 0; j < made; ++j) {
    const L* v = work.v[j].get();
    for (int32_t i = 0; i < n; ++i)
      for (int32_t w = 0; w < kNarrowLanes; ++w) u[i].lane[w] += y[j].lane[w] * v[i].lane[w];
  }
  apply_block_preconditioner(A, M, u, work.z.get(), work.preconditioner.get(), work.threads);
  for (int32_t i = 0; i < n; ++i)
    for (int32_t w = 0; w < kNarrowLanes; ++w) x[i].lane[w] += work.z[i].lane[w];
  for (int32_t j = 0; j < recycled; ++j) {
    double by[kNarrowLanes] = {};
    for (int32_t k = 0; k < m; ++k)
      for (int32_t w = 0; w < kNarrowLanes; ++w) by[w] += a.b[j * m + k].lane[w] * y[k].lane[w];
    const L* uj = recycle->u[j].get();
    for (int32_t i = 0; i < n; ++i)
      for (int32_t w = 0; w < kNarrowLanes; ++w) x[i].lane[w] -= by[w] * uj[i].lane[w];
  }
}

/// Fills `space` from a first cycle of plain Arnoldi steps, A M⁻¹ V_k = V_{k+1} H_k, whose
/// rotations made H_k = Q R: C = V_{k+1} Q (orthonormal) and U = M⁻¹ V_k R⁻¹, so that A U = C.
void keep_space(const GeneralSystem& A, const BlockPreconditioner& M, const Arnoldi& a,
                const int32_t* steps, GmresWork& work, RecycledSpace& space) {
  const int32_t n = A.near.n, m = a.m, most = static_cast<int32_t>(space.c.size());
  int32_t k = 0;
  for (int32_t w = 0; w < kNarrowLanes; ++w) k = std::max(k, std::min(steps[w], most));
  std::vector<double> q(m + 1);
  for (int32_t j = 0; j < k; ++j) {
    L* c = space.c[j].get();
    for (int32_t i = 0; i < n; ++i) c[i] = L{};
    for (int32_t w = 0; w < kNarrowLanes; ++w) {
      if (j >= steps[w] || a.h[j * m + j].lane[w] == 0.0) continue;
      std::fill(q.begin(), q.end(), 0.0);
      q[j] = 1.0;  // Q e_j = G_0ᵀ ⋯ G_jᵀ e_j
      for (int32_t r = j; r >= 0; --r) {
        const double cs = a.cs[r].lane[w], sn = a.sn[r].lane[w];
        const double q0 = q[r], q1 = q[r + 1];
        q[r] = cs * q0 - sn * q1;
        q[r + 1] = sn * q0 + cs * q1;
      }
      for (int32_t r = 0; r <= j + 1; ++r) {
        const L* v = work.v[r].get();
        for (int32_t i = 0; i < n; ++i) c[i].lane[w] += q[r] * v[i].lane[w];
      }
    }
    // T_j = (v_j − Σ_{r<j} T_r R_rj) / R_jj in u_j, preconditioned below.
    L* t = space.u[j].get();
    const L* v = work.v[j].get();
    for (int32_t i = 0; i < n; ++i) t[i] = L{};
    for (int32_t w = 0; w < kNarrowLanes; ++w) {
      const double pivot = a.h[j * m + j].lane[w];
      if (j >= steps[w] || pivot == 0.0) continue;
      for (int32_t i = 0; i < n; ++i) t[i].lane[w] = v[i].lane[w];
      for (int32_t r = 0; r < j; ++r) {
        const double rj = a.h[r * m + j].lane[w];
        const L* tr = space.u[r].get();
        for (int32_t i = 0; i < n; ++i) t[i].lane[w] -= rj * tr[i].lane[w];
      }
      for (int32_t i = 0; i < n; ++i) t[i].lane[w] /= pivot;
    }
  }
  for (int32_t j = 0; j < k; ++j) {
    L* t = space.u[j].get();
    apply_block_preconditioner(A, M, t, work.z.get(), work.preconditioner.get(), work.threads);
    for (int32_t i = 0; i < n; ++i) t[i] = work.z[i];
  }
  space.size = k;
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

RecycledSpace::RecycledSpace(int32_t n, int32_t most) {
  for (int32_t j = 0; j < most; ++j) {
    c.emplace_back(new L[n]);
    u.emplace_back(new L[n]);
  }
}

int64_t RecycledSpace::bytes(int32_t n, int32_t most) {
  return static_cast<int64_t>(sizeof(L)) * 2 * most * int64_t{n};
}

int64_t GmresWork::bytes(const FarField& far, int32_t n, int32_t conductor_rows, int32_t m) {
  return static_cast<int64_t>(sizeof(L)) *
             ((m + 3) * int64_t{n} + kBlockPreconditionerVectors * int64_t{conductor_rows}) +
         far.work_bytes();
}

std::vector<LaneOutcome> gmres_lanes(const GeneralSystem& A, int32_t degree,
                                     const BlockPreconditioner& M, const L* b, L* x,
                                     const double* bound, int32_t max_iterations, GmresWork& work,
                                     RecycledSpace* recycle) {
  const int32_t n = A.near.n, m = work.restart;
  std::vector<LaneOutcome> outcome(kNarrowLanes);
  Arnoldi a(m, recycle != nullptr ? static_cast<int32_t>(recycle->c.size()) : 0);
  int32_t products = 0;
  bool gave_up[kNarrowLanes] = {};
  double halving[kNarrowLanes];  // the residual each lane must halve, and its cycles so far
  int32_t cycles[kNarrowLanes] = {};
  for (double& value : halving) value = INFINITY;
  while (true) {
    // The residual, the first basis vector and the lanes still running.
    L* v0 = work.v[0].get();
    apply_general(A, degree, x, work.w.get(), work.far, work.threads);
    for (int32_t i = 0; i < n; ++i)
      for (int32_t w = 0; w < kNarrowLanes; ++w) v0[i].lane[w] = b[i].lane[w] - work.w[i].lane[w];
    double beta[kNarrowLanes];
    dot(v0, v0, n, beta);
    // r's part in the recycled C, taken through U by each lane still short of its bound.
    const int32_t recycled = recycle != nullptr ? recycle->size : 0;
    for (int32_t j = 0; j < recycled; ++j) {
      double alpha[kNarrowLanes];
      dot(recycle->c[j].get(), v0, n, alpha);
      for (int32_t w = 0; w < kNarrowLanes; ++w)
        if (outcome[w].converged || gave_up[w] || !(std::sqrt(beta[w]) > bound[w])) alpha[w] = 0.0;
      const L* c = recycle->c[j].get();
      const L* u = recycle->u[j].get();
      for (int32_t i = 0; i < n; ++i) {
        for (int32_t w = 0; w < kNarrowLanes; ++w) {
          x[i].lane[w] += alpha[w] * u[i].lane[w];
          v0[i].lane[w] -= alpha[w] * c[i].lane[w];
        }
      }
    }
    if (recycled > 0) dot(v0, v0, n, beta);
    bool active[kNarrowLanes];
    int32_t running = 0, steps[kNarrowLanes] = {};
    for (int32_t w = 0; w < kNarrowLanes; ++w) {
      beta[w] = std::sqrt(beta[w]);
      outcome[w].residual = beta[w];
      if (beta[w] <= 0.5 * halving[w]) {
        halving[w] = beta[w];
        cycles[w] = 0;
      } else if (++cycles[w] > kStalledCycles) {
        gave_up[w] = true;
      }
      active[w] = !outcome[w].converged && !gave_up[w] && !(beta[w] <= bound[w]);
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
      apply_block_preconditioner(A, M, vk, work.z.get(), work.preconditioner.get(), work.threads);
      apply_general(A, degree, work.z.get(), next, work.far, work.threads);
      ++products;
      for (int32_t j = 0; j < recycled; ++j) {  // the part in C first
        double h[kNarrowLanes];
        const L* c = recycle->c[j].get();
        dot(next, c, n, h);
        for (int32_t i = 0; i < n; ++i)
          for (int32_t w = 0; w < kNarrowLanes; ++w) next[i].lane[w] -= h[w] * c[i].lane[w];
        for (int32_t w = 0; w < kNarrowLanes; ++w) a.b[j * m + k].lane[w] = h[w];
      }
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
    update_solution(A, M, a, steps, x, work, recycle, recycled);
    if (recycle != nullptr && recycle->size == 0 && recycled == 0)
      keep_space(A, M, a, steps, work, *recycle);
  }
  return outcome;
}

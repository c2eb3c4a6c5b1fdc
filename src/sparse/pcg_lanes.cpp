// Conjugate gradients for several right-hand sides in lock-step. Vectors are stored interleaved,
// the kPcgLanes values of unknown i side by side, so that one traversal of P or of the factor
// serves every lane and the lanes' arithmetic runs side by side in SIMD registers. Each lane
// computes exactly what the single-vector solve computes: element-wise vector operations are the
// scalar IEEE operations lane by lane, sums keep their order, and a product that the scalar code
// skips for an x component of 0.0 is skipped by a per-lane select, never replaced by adding 0.0.

#include "sparse/pcg_lanes.h"

#include <pthread.h>

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <mutex>
#include <vector>

#include "run/fatal.h"

// Every function passing a Lanes by value has internal linkage, so the note that such calls
// would have another calling convention under other instruction sets does not apply.
#pragma GCC diagnostic ignored "-Wpsabi"

namespace {

// Eight doubles, one per lane: one AVX-512 register, two AVX or four SSE ones. Unaligned loads,
// so calloc'd storage will do.
typedef double Chunk __attribute__((vector_size(8 * sizeof(double)), aligned(8)));
typedef int64_t ChunkMask __attribute__((vector_size(8 * sizeof(int64_t)), aligned(8)));
constexpr int32_t kChunks = kPcgLanes / 8;

// The kPcgLanes values of one unknown. Several chunks per unknown give the substitutions, whose
// sums run strictly in order, independent chains to overlap.
struct Lanes {
  Chunk chunk[kChunks];  // lanes 8c .. 8c+7 in chunk c

  double operator[](int32_t lane) const { return chunk[lane / 8][lane % 8]; }
  void set(int32_t lane, double value) { chunk[lane / 8][lane % 8] = value; }
};

// The kernels are compiled for several instruction sets and the widest one the processor has is
// chosen when the program starts. The arithmetic is the same IEEE operations on every path.
#define VORNAX_LANE_KERNEL __attribute__((target_clones("avx512f", "avx2", "default")))

// mask ? a : b lane by lane, by bits: a select, never an addition of 0.0.
inline Chunk select(const ChunkMask& mask, const Chunk& a, const Chunk& b) {
  return (Chunk)(((ChunkMask)a & mask) | ((ChunkMask)b & ~mask));
}

Lanes* allocate_lanes(int32_t n) {
  return static_cast<Lanes*>(calloc_or_exit(static_cast<std::size_t>(n), sizeof(Lanes)));
}

// y = P·x with P symmetric, upper triangle stored: a stored a(j, m) acts at (j, m) and (m, j).
// A product whose x component is 0.0 is skipped, lane by lane.
VORNAX_LANE_KERNEL void multiply(const CompactSymmetric& P, Lanes* y, const Lanes* x) {
  const int32_t n = P.n;
  const Chunk zero = {};
  for (int32_t j = 0; j < n; ++j) {
    for (int32_t c = 0; c < kChunks; ++c) y[j].chunk[c] = zero;
  }
  for (int32_t j = 0; j < n; ++j) {
    Chunk xj[kChunks];
    ChunkMask xj_nonzero[kChunks];
    Chunk yj[kChunks];
    for (int32_t c = 0; c < kChunks; ++c) {
      xj[c] = x[j].chunk[c];
      xj_nonzero[c] = xj[c] != zero;
      yj[c] = y[j].chunk[c];
    }
    if (P.has_diagonal[j]) {
      const double d = P.diagonal[j];
      for (int32_t c = 0; c < kChunks; ++c) yj[c] = select(xj_nonzero[c], yj[c] + d * xj[c], yj[c]);
    }
    for (int32_t k = P.row_start[j]; k < P.row_start[j + 1]; ++k) {
      const int32_t m = P.col[k];
      const double a = P.value[k];
      for (int32_t c = 0; c < kChunks; ++c) {
        const Chunk xm = x[m].chunk[c];
        Chunk& ym = y[m].chunk[c];
        yj[c] = select(xm != zero, yj[c] + a * xm, yj[c]);  // y(j) += a(j, m)·x(m)
        ym = select(xj_nonzero[c], ym + a * xj[c], ym);     // y(m) += a(j, m)·x(j)
      }
    }
    for (int32_t c = 0; c < kChunks; ++c) y[j].chunk[c] = yj[c];
  }
}

// z = F⁻¹·r with F = Uᵀ·D·U: forward through the columns of U, then D, then backward through
// its rows.
VORNAX_LANE_KERNEL void solve_factored(const CompactFactor& F, Lanes* z, const Lanes* r) {
  const int32_t n = F.n;
  for (int32_t i = 0; i < n; ++i) {
    Chunk zi[kChunks];
    for (int32_t c = 0; c < kChunks; ++c) zi[c] = r[i].chunk[c];
    for (int32_t k = F.col_start[i]; k < F.col_start[i + 1]; ++k) {
      const Lanes& zr = z[F.col_row[k]];
      const double u = F.col_value[k];
      for (int32_t c = 0; c < kChunks; ++c) zi[c] = zi[c] - zr.chunk[c] * u;
    }
    for (int32_t c = 0; c < kChunks; ++c) z[i].chunk[c] = zi[c];
  }
  for (int32_t i = 0; i < n; ++i) {
    const double d = F.pivot[i];
    for (int32_t c = 0; c < kChunks; ++c) z[i].chunk[c] = z[i].chunk[c] / d;
  }
  for (int32_t i = n - 1; i >= 0; --i) {
    Chunk zi[kChunks];
    for (int32_t c = 0; c < kChunks; ++c) zi[c] = z[i].chunk[c];
    for (int32_t k = F.row_start[i]; k < F.row_start[i + 1]; ++k) {
      const Lanes& zc = z[F.row_col[k]];
      const double u = F.row_value[k];
      for (int32_t c = 0; c < kChunks; ++c) zi[c] = zi[c] - zc.chunk[c] * u;
    }
    for (int32_t c = 0; c < kChunks; ++c) z[i].chunk[c] = zi[c];
  }
}

// sum = a·b lane by lane, added in ascending order.
VORNAX_LANE_KERNEL void dot(Lanes& sum, const Lanes* a, const Lanes* b, int32_t n) {
  for (int32_t c = 0; c < kChunks; ++c) {
    Chunk s = {};
    for (int32_t i = 0; i < n; ++i) s = s + a[i].chunk[c] * b[i].chunk[c];
    sum.chunk[c] = s;
  }
}

// x = α·p + x and r = r - α·q, in one pass.
VORNAX_LANE_KERNEL void update(const Lanes& alpha, const Lanes* p, const Lanes* q, Lanes* x,
                               Lanes* r, int32_t n) {
  for (int32_t i = 0; i < n; ++i) {
    for (int32_t c = 0; c < kChunks; ++c) {
      x[i].chunk[c] = alpha.chunk[c] * p[i].chunk[c] + x[i].chunk[c];
      r[i].chunk[c] = r[i].chunk[c] - alpha.chunk[c] * q[i].chunk[c];
    }
  }
}

bool is_breakdown(double pq) { return pq == 0.0 || !std::isfinite(pq); }

// p = z where `restart` is set (a lane's first step), p = β·p + z elsewhere.
VORNAX_LANE_KERNEL void next_direction(const Lanes& restart_mask, const Lanes& beta, Lanes* p,
                                       const Lanes* z, int32_t n) {
  for (int32_t i = 0; i < n; ++i) {
    for (int32_t c = 0; c < kChunks; ++c) {
      const ChunkMask restart = (ChunkMask)restart_mask.chunk[c];
      p[i].chunk[c] = select(restart, z[i].chunk[c], beta.chunk[c] * p[i].chunk[c] + z[i].chunk[c]);
    }
  }
}

// The state of one lane's solve between steps.
struct LaneState {
  int32_t rhs;         // right-hand side being solved, -1 when the lane is idle
  int32_t iterations;  // steps done for it
  bool first_step;     // the next step is the solve's first: p = z, no β
  double rho;          // r·z of the previous step
};

// The right-hand sides still to start, shared by the workers; the callbacks run one at a time.
struct SolveQueue {
  int32_t rhs_count;                                      // right-hand sides in all
  const std::function<void(int32_t, double*)>& make_rhs;  // fills one
  const std::function<bool(int32_t, const double*, int32_t)>& take_solution;  // takes one
  std::mutex lock;       // held while a callback runs or the queue moves
  int32_t next_rhs = 0;  // the next right-hand side to start
  bool stopped = false;  // take_solution asked to start no more

  SolveQueue(int32_t count, const std::function<void(int32_t, double*)>& make,
             const std::function<bool(int32_t, const double*, int32_t)>& take)
      : rhs_count(count), make_rhs(make), take_solution(take) {}
};

// The vectors of one worker. They are allocated before any worker thread starts, so that an
// allocation failure ends the run from the main thread alone.
struct LaneWorkspace {
  explicit LaneWorkspace(int32_t n)
      : xs(allocate_lanes(n)),
        rs(allocate_lanes(n)),
        zs(allocate_lanes(n)),
        ps(allocate_lanes(n)),
        qs(allocate_lanes(n)),
        vector(static_cast<double*>(calloc_or_exit(static_cast<std::size_t>(n), sizeof(double)))) {}
  LaneWorkspace(const LaneWorkspace&) = delete;
  LaneWorkspace& operator=(const LaneWorkspace&) = delete;
  ~LaneWorkspace() {
    std::free(xs);
    std::free(rs);
    std::free(zs);
    std::free(ps);
    std::free(qs);
    std::free(vector);
  }

  Lanes* xs;       // solutions
  Lanes* rs;       // residuals
  Lanes* zs;       // preconditioned residuals
  Lanes* ps;       // search directions
  Lanes* qs;       // P times the search directions
  double* vector;  // one lane's right-hand side or solution, handed to the callbacks
};

// One worker: kPcgLanes solves in flight, each lane refilled from the queue as its solve ends.
// It allocates nothing.
void solve_in_lanes(const CompactSymmetric& P, const CompactFactor& F, double tolerance,
                    SolveQueue& queue, LaneWorkspace& work) {
  const int32_t n = P.n;
  const int64_t iteration_limit = 10 * static_cast<int64_t>(n) + 1000;
  Lanes* const xs = work.xs;
  Lanes* const rs = work.rs;
  Lanes* const zs = work.zs;
  Lanes* const ps = work.ps;
  Lanes* const qs = work.qs;
  double* const vector = work.vector;

  LaneState lane[kPcgLanes];
  // Starts the next right-hand side in lane l, or leaves it idle. From x = 0, P·x skips every
  // product and stays 0.0, so the first residual is b - 0.0 = b exactly.
  auto start = [&](int32_t l) {
    lane[l] = LaneState{-1, 0, true, 0.0};
    for (int32_t i = 0; i < n; ++i) xs[i].set(l, 0.0);
    {
      std::lock_guard<std::mutex> hold(queue.lock);
      if (!queue.stopped && queue.next_rhs < queue.rhs_count) {
        lane[l].rhs = queue.next_rhs++;
        queue.make_rhs(lane[l].rhs, vector);
      }
    }
    for (int32_t i = 0; i < n; ++i) rs[i].set(l, lane[l].rhs >= 0 ? vector[i] : 0.0);
  };
  auto finish = [&](int32_t l, int32_t iterations) {
    if (iterations >= 0) {
      for (int32_t i = 0; i < n; ++i) vector[i] = xs[i][l];
    }
    {
      std::lock_guard<std::mutex> hold(queue.lock);
      if (!queue.take_solution(lane[l].rhs, vector, iterations)) queue.stopped = true;
    }
    start(l);
  };
  for (int32_t l = 0; l < kPcgLanes; ++l) start(l);

  // Each pass is one step of every busy lane; a lane whose solve ends takes the next right-hand
  // side at once. Idle lanes compute on zeros that nobody reads.
  for (;;) {
    bool busy = false;
    for (int32_t l = 0; l < kPcgLanes; ++l) busy = busy || lane[l].rhs >= 0;
    if (!busy) break;

    solve_factored(F, zs, rs);
    Lanes rz;
    dot(rz, rs, zs, n);
    Lanes restart;
    Lanes beta;
    for (int32_t l = 0; l < kPcgLanes; ++l) {
      const int64_t all_ones = -1;
      double mask = 0.0;
      if (lane[l].first_step) std::memcpy(&mask, &all_ones, sizeof(double));
      restart.set(l, mask);
      beta.set(l, lane[l].first_step ? 0.0 : rz[l] / lane[l].rho);
    }
    next_direction(restart, beta, ps, zs, n);
    multiply(P, qs, ps);
    Lanes pq;
    dot(pq, ps, qs, n);
    Lanes alpha;
    for (int32_t l = 0; l < kPcgLanes; ++l) {
      alpha.set(l, rz[l] / pq[l]);
      lane[l].rho = rz[l];
      lane[l].first_step = false;
      lane[l].iterations += 1;
    }
    update(alpha, ps, qs, xs, rs, n);

    Lanes rr;
    dot(rr, rs, rs, n);
    for (int32_t l = 0; l < kPcgLanes; ++l) {
      if (lane[l].rhs < 0) continue;
      // A step length that does not exist ends the solve before its update counts; the update
      // above only touched this lane's own values, which are dropped.
      if (is_breakdown(pq[l])) {
        finish(l, -1);
        continue;
      }
      const double residual_norm = std::sqrt(rr[l]);
      if (residual_norm < tolerance) {
        finish(l, lane[l].iterations);
      } else if (std::isnan(residual_norm) || lane[l].iterations >= iteration_limit) {
        finish(l, -1);
      }
    }
  }
}

}  // namespace

void pcg_solve_lanes(const CompactSymmetric& P, const CompactFactor& F, int32_t rhs_count,
                     const std::function<void(int32_t, double*)>& make_rhs,
                     const std::function<bool(int32_t, const double*, int32_t)>& take_solution,
                     double tolerance, int32_t thread_count) {
  SolveQueue queue(rhs_count, make_rhs, take_solution);
  // More workers than groups of lanes would only add idle lanes.
  const int32_t groups = (rhs_count + kPcgLanes - 1) / kPcgLanes;
  const int32_t workers = std::max(1, std::min(thread_count, groups));
  std::vector<std::unique_ptr<LaneWorkspace>> work;
  for (int32_t t = 0; t < workers; ++t) work.push_back(std::make_unique<LaneWorkspace>(P.n));

  // Helper threads are a speed-up only: where one cannot be created, the workers that did start
  // take its share of the queue.
  struct HelperArguments {
    const CompactSymmetric* P;
    const CompactFactor* F;
    double tolerance;
    SolveQueue* queue;
    LaneWorkspace* work;
  };
  std::vector<HelperArguments> arguments(static_cast<std::size_t>(workers));
  std::vector<pthread_t> helpers;
  for (int32_t t = 1; t < workers; ++t) {
    arguments[t] = HelperArguments{&P, &F, tolerance, &queue, work[t].get()};
    auto run = [](void* raw) -> void* {
      auto* a = static_cast<HelperArguments*>(raw);
      solve_in_lanes(*a->P, *a->F, a->tolerance, *a->queue, *a->work);
      return nullptr;
    };
    pthread_t helper;
    if (pthread_create(&helper, nullptr, run, &arguments[t]) != 0) break;
    helpers.push_back(helper);
  }
  solve_in_lanes(P, F, tolerance, queue, *work[0]);
  for (pthread_t helper : helpers) pthread_join(helper, nullptr);
}

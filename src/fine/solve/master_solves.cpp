#include "fine/solve/master_solves.h"

#include <algorithm>
#include <cmath>
#include <memory>

#include "common/parallel_for.h"
#include "common/physical_constants.h"
#include "fine/solve/lane_gmres.h"

namespace {

typedef Lanes<kNarrowLanes> L;

/// The plain rows' solves are this much tighter than the symmetric form's (whose capacitance
/// sees its error squared): a solve that stops a step earlier, as in another unit, must move a
/// row by less than 1e-9.
constexpr double kPlainRowTightening = 0.01;
/// Corrections under the accurate far field after the first solve, at the most.
constexpr int32_t kCorrections = 4;
/// The same when each solve stops at LevelSettings::inner_reduction: enough for a right-hand side
/// reduced by 1e-10 at 1e-2 a correction.
constexpr int32_t kLooseCorrections = 10;
/// The reduction a GMRES correction stops at where the solves stop at inner_reduction: a
/// correction gains only what the difference of the two far fields leaves it (on lines24 a
/// fortieth to a tenth of its residual), so asking it for a thousandth spent a third of its steps
/// beyond that for no gain (85 steps at level 1 against 64, the same seven calls).
constexpr double kGmresCorrectionReduction = 3e-2;
/// Krylov vectors of a GMRES cycle.
constexpr int32_t kRestart = 40;
/// The threads that make each product of a group together: all of them shared out among the
/// groups where there are fewer groups than threads and the products are large (from
/// settings.shared_products_from near entries a product takes milliseconds, where starting the
/// threads takes tens of microseconds on an idle machine and milliseconds on a busy one).
int32_t product_threads(int32_t groups, const LevelSettings& settings, int64_t near_entries) {
  if (groups >= settings.threads || near_entries < settings.shared_products_from) return 1;
  return settings.threads / groups;
}

/// Each lane's norm.
void norms(const L* v, int32_t n, double* out) {
  for (int32_t w = 0; w < kNarrowLanes; ++w) out[w] = 0.0;
  for (int32_t i = 0; i < n; ++i)
    for (int32_t w = 0; w < kNarrowLanes; ++w) out[w] += v[i].lane[w] * v[i].lane[w];
  for (int32_t w = 0; w < kNarrowLanes; ++w) out[w] = std::sqrt(out[w]);
}

void add_outcomes(const std::vector<LaneOutcome>& lanes, int32_t used, int64_t& iterations,
                  bool* converged) {
  for (int32_t w = 0; w < used; ++w) {
    iterations += lanes[w].iterations;
    converged[w] = lanes[w].converged;
  }
}

/// Lanes whose residual after the last correction is still above `tolerance` (a hundred times
/// what the solves aim at) count as not converged, so that the level says so instead of giving
/// their rows.
void mark_unsettled(const double* r_norm, const double* b_norm, double tolerance, int32_t used,
                    bool* converged) {
  for (int32_t w = 0; w < used; ++w) {
    if (!(r_norm[w] <= tolerance * b_norm[w])) converged[w] = false;
  }
}

/// The groups' steps and outcomes into `solves`.
void add_groups(const std::vector<int64_t>& iterations, const std::vector<char>& converged,
                MasterSolves& solves) {
  for (size_t g = 0; g < iterations.size(); ++g) {
    solves.iterations += iterations[g];
    solves.converged = solves.converged && converged[g];
  }
}

}  // namespace

void fill_masters(const LevelMesh& mesh, const ClusterTree& tree, const std::vector<double>& start,
                  const std::vector<int32_t>& masters, int32_t first, L* b, L* x) {
  const int32_t count = static_cast<int32_t>(masters.size());
  const int32_t lanes = std::min(kNarrowLanes, count - first);
  for (size_t i = 0; i < tree.panel.size(); ++i) {
    const int32_t panel = tree.panel[i];
    b[i] = L{};
    x[i] = L{};
    for (int32_t w = 0; w < lanes; ++w) {
      b[i].lane[w] = mesh.panels[panel].conductor == static_cast<uint32_t>(masters[first + w]);
      x[i].lane[w] = start[static_cast<size_t>(panel) * count + first + w];
    }
  }
}

void keep_lanes(const ClusterTree& tree, const L* x, int32_t count, int32_t first,
                std::vector<double>& out) {
  const int32_t lanes = std::min(kNarrowLanes, count - first);
  for (size_t i = 0; i < tree.panel.size(); ++i) {
    const size_t at = static_cast<size_t>(tree.panel[i]) * count + first;
    for (int32_t w = 0; w < lanes; ++w) out[at + w] = x[i].lane[w];
  }
}

MasterSolves solve_symmetric_masters(const LevelMesh& mesh, const ClusterTree& tree,
                                     const LevelOperator& Q, const LevelOperator& P,
                                     const LevelPreconditioner& M, const std::vector<double>& start,
                                     const std::vector<int32_t>& masters,
                                     const LevelSettings& settings) {
  const int32_t n = static_cast<int32_t>(mesh.panels.size());
  const int32_t count = static_cast<int32_t>(masters.size());
  const int32_t groups = (count + kNarrowLanes - 1) / kNarrowLanes;
  MasterSolves solves;
  solves.solution.resize(static_cast<size_t>(n) * count);
  std::vector<int64_t> iterations(groups, 0);
  std::vector<char> converged(groups, 1);
  std::vector<std::unique_ptr<LaneWork>> work(parallel_for_threads(groups, settings.threads));
  // Fewer groups than threads (one to eight master nets): the threads left make each group's
  // products with it.
  const int32_t sharing =
      product_threads(groups, settings, static_cast<int64_t>(P.near.col.size()));
  parallel_for(groups, settings.threads, [&](int64_t g, int32_t thread) {
    if (!work[thread]) {
      work[thread].reset(new LaneWork(P.far, M, n));
      work[thread]->threads = sharing;
    }
    LaneWork& own = *work[thread];
    const int32_t first = static_cast<int32_t>(g) * kNarrowLanes;
    const int32_t used = std::min(kNarrowLanes, count - first);
    std::unique_ptr<L[]> b(new L[n]), x(new L[n]), d(new L[n]);
    fill_masters(mesh, tree, start, masters, first, b.get(), x.get());
    const double tolerance = kPlainRowTightening * settings.tolerance;
    const double reduction = settings.inner_reduction;
    for (int32_t i = 0; i < n; ++i) own.b[i] = b[i];
    bool lane_converged[kNarrowLanes] = {};
    add_outcomes(solve_lanes(Q, P, M, own.b.get(), x.get(), own.y.get(),
                             std::max(tolerance, reduction), 10 * n + 1000, own),
                 used, iterations[g], lane_converged);
    double b_norm[kNarrowLanes];
    norms(b.get(), n, b_norm);
    const int32_t corrections = reduction > 0.0 ? kLooseCorrections : kCorrections;
    for (int32_t step = 0; step <= corrections; ++step) {
      for (int32_t i = 0; i < n; ++i)
        for (int32_t w = 0; w < kNarrowLanes; ++w)
          own.b[i].lane[w] = b[i].lane[w] - own.y[i].lane[w];
      double r_norm[kNarrowLanes];
      norms(own.b.get(), n, r_norm);
      if (step == corrections) {  // out of corrections: a residual far off is no result
        mark_unsettled(r_norm, b_norm, settings.tolerance, used, lane_converged);
        break;
      }
      double relative = INFINITY;  // the tightest each lane needs of its residual
      for (int32_t w = 0; w < used; ++w) {
        if (r_norm[w] > tolerance * b_norm[w])
          relative = std::min(relative, tolerance * b_norm[w] / r_norm[w]);
      }
      if (relative == INFINITY) break;
      relative = std::max(relative, reduction);
      for (int32_t i = 0; i < n; ++i) d[i] = L{};
      add_outcomes(
          solve_lanes(Q, P, M, own.b.get(), d.get(), own.y.get(), relative, 10 * n + 1000, own),
          used, iterations[g], lane_converged);
      for (int32_t i = 0; i < n; ++i)
        for (int32_t w = 0; w < kNarrowLanes; ++w) x[i].lane[w] += d[i].lane[w];
      apply_operator(P, x.get(), own.y.get(), own.far, sharing);
    }
    for (int32_t w = 0; w < used; ++w) converged[g] = converged[g] && lane_converged[w];
    keep_lanes(tree, x.get(), count, first, solves.solution);
  });
  add_groups(iterations, converged, solves);
  return solves;
}

MasterSolves solve_general_masters(const LevelMesh& mesh, const ClusterTree& tree,
                                   const GeneralSystem& A, const BlockPreconditioner& M,
                                   int32_t highest, int32_t iteration_degree,
                                   const std::vector<double>& start,
                                   const std::vector<int32_t>& masters,
                                   const LevelSettings& settings) {
  const int32_t n = static_cast<int32_t>(mesh.panels.size());
  const int32_t count = static_cast<int32_t>(masters.size());
  const int32_t groups = (count + kNarrowLanes - 1) / kNarrowLanes;
  const int32_t conductor_rows = static_cast<int32_t>(M.conductor_at.size());
  MasterSolves solves;
  solves.solution.resize(static_cast<size_t>(n) * count);
  std::vector<int64_t> iterations(groups, 0);
  std::vector<char> converged(groups, 1);
  std::vector<std::unique_ptr<GmresWork>> work(parallel_for_threads(groups, settings.threads));
  std::vector<std::unique_ptr<RecycledSpace>> spaces(work.size());
  // Fewer groups than threads (one to eight master nets): the threads left make each group's
  // products with it.
  const int32_t sharing = product_threads(groups, settings, A.near.row_start[n]);
  parallel_for(groups, settings.threads, [&](int64_t g, int32_t thread) {
    if (!work[thread]) {
      work[thread].reset(new GmresWork(A.far, n, conductor_rows, kRestart));
      work[thread]->threads = sharing;
    }
    if (!spaces[thread]) spaces[thread].reset(new RecycledSpace(n, kRecycledColumns));
    GmresWork& own = *work[thread];
    const int32_t first = static_cast<int32_t>(g) * kNarrowLanes;
    const int32_t used = std::min(kNarrowLanes, count - first);
    std::unique_ptr<L[]> b(new L[n]), x(new L[n]), r(new L[n]), d(new L[n]);
    fill_masters(mesh, tree, start, masters, first, b.get(), x.get());
    const double reduction = settings.inner_reduction;
    double b_norm[kNarrowLanes], bound[kNarrowLanes], loose[kNarrowLanes];
    norms(b.get(), n, b_norm);  // bound: the residual to reach; loose: this solve's
    for (int32_t w = 0; w < kNarrowLanes; ++w) bound[w] = b_norm[w];
    for (int32_t w = 0; w < kNarrowLanes; ++w) {
      loose[w] = reduction * bound[w];
      bound[w] *= kPlainRowTightening * settings.tolerance;
      loose[w] = std::max(loose[w], bound[w]);
    }
    bool lane_converged[kNarrowLanes] = {};
    RecycledSpace& recycle = *spaces[thread];
    recycle.size = 0;  // kept from this group's first solve, for its corrections
    add_outcomes(
        gmres_lanes(A, iteration_degree, M, b.get(), x.get(), loose, 10 * n + 1000, own, &recycle),
        used, iterations[g], lane_converged);
    const int32_t corrections = reduction > 0.0 ? kLooseCorrections : kCorrections;
    for (int32_t step = 0; step <= corrections && (iteration_degree < highest || reduction > 0.0);
         ++step) {
      apply_general(A, highest, x.get(), r.get(), own.far, sharing);
      for (int32_t i = 0; i < n; ++i)
        for (int32_t w = 0; w < kNarrowLanes; ++w) r[i].lane[w] = b[i].lane[w] - r[i].lane[w];
      double r_norm[kNarrowLanes];
      norms(r.get(), n, r_norm);
      if (step == corrections) {  // out of corrections: a residual far off is no result
        mark_unsettled(r_norm, b_norm, settings.tolerance, used, lane_converged);
        break;
      }
      bool done = true;
      for (int32_t w = 0; w < used; ++w) done = done && r_norm[w] <= bound[w];
      if (done) break;
      const double correction = reduction > 0.0 ? kGmresCorrectionReduction : 0.0;
      for (int32_t w = 0; w < kNarrowLanes; ++w)
        loose[w] = std::max(bound[w], correction * r_norm[w]);
      for (int32_t i = 0; i < n; ++i) d[i] = L{};
      add_outcomes(gmres_lanes(A, iteration_degree, M, r.get(), d.get(), loose, 10 * n + 1000, own,
                               &recycle),
                   used, iterations[g], lane_converged);
      for (int32_t i = 0; i < n; ++i)
        for (int32_t w = 0; w < kNarrowLanes; ++w) x[i].lane[w] += d[i].lane[w];
    }
    for (int32_t w = 0; w < used; ++w) converged[g] = converged[g] && lane_converged[w];
    keep_lanes(tree, x.get(), count, first, solves.solution);
  });
  add_groups(iterations, converged, solves);
  return solves;
}

std::vector<double> master_rows(const LevelMesh& mesh, const MasterSolves& solves, int32_t masters,
                                int32_t conductors, const std::vector<double>& factor) {
  std::vector<double> rows(static_cast<size_t>(masters) * conductors, 0.0);
  for (size_t i = 0; i < mesh.panels.size(); ++i) {
    const uint32_t k = mesh.panels[i].conductor;
    if (k >= static_cast<uint32_t>(conductors)) continue;  // a dielectric piece's
    for (int32_t r = 0; r < masters; ++r)
      rows[r * conductors + k] += factor[i] * solves.solution[i * masters + r];
  }
  for (double& value : rows) value *= kFourPiEpsilon0;
  return rows;
}

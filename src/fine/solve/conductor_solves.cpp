#include "fine/solve/conductor_solves.h"

#include <algorithm>
#include <atomic>
#include <memory>
#include <mutex>

#include "common/parallel_for.h"
#include "common/physical_constants.h"
#include "fine/solve/queued_solves.h"

namespace {

/// Fills lane w of b with conductor first + w's right-hand side and of x with its start, and
/// the lanes past the last conductor with zeros; x and b in tree order.
void fill_group(const LevelMesh& mesh, const ClusterTree& tree, const std::vector<double>& start,
                int32_t conductors, int32_t first, LaneWork& work) {
  const int32_t lanes = std::min(kNarrowLanes, conductors - first);
  for (size_t i = 0; i < tree.panel.size(); ++i) {
    const int32_t panel = tree.panel[i];
    work.b[i] = Lanes<kNarrowLanes>{};
    work.x[i] = Lanes<kNarrowLanes>{};
    for (int32_t w = 0; w < lanes; ++w) {
      work.b[i].lane[w] = mesh.panels[panel].conductor == static_cast<uint32_t>(first + w);
      work.x[i].lane[w] = start[static_cast<size_t>(panel) * conductors + first + w];
    }
  }
}

/// The products P x of the solutions, made by whichever thread is free as the solves finish:
/// each takes up to kNarrowLanes finished conductors that no product has taken yet.
struct ProductQueue {
  explicit ProductQueue(int32_t conductors) : finished(conductors), taken(conductors, 0) {
    for (auto& flag : finished) flag.store(0, std::memory_order_relaxed);
  }
  std::vector<std::atomic<char>> finished;  // set by the solves, their solutions written
  std::mutex guard;                         // of taken
  std::vector<char> taken;                  // by a product

  /// Up to kNarrowLanes finished conductors not taken yet, now taken, in ascending order.
  std::vector<int32_t> take() {
    std::lock_guard<std::mutex> lock(guard);
    std::vector<int32_t> group;
    for (size_t c = 0; c < taken.size() && group.size() < kNarrowLanes; ++c) {
      if (!taken[c] && finished[c].load(std::memory_order_acquire)) {
        taken[c] = 1;
        group.push_back(static_cast<int32_t>(c));
      }
    }
    return group;
  }
};

/// P x for the conductors of `group`, one lane each: every lane's product is its own, so the
/// bits do not depend on which conductors share a group.
void add_products(const ClusterTree& tree, const LevelOperator& P,
                  const std::vector<int32_t>& group, int32_t conductors, LaneWork& work,
                  ConductorSolves& solves) {
  const int32_t n = static_cast<int32_t>(tree.panel.size());
  const int32_t lanes = static_cast<int32_t>(group.size());
  for (int32_t i = 0; i < n; ++i) {
    const size_t at = static_cast<size_t>(tree.panel[i]) * conductors;
    work.x[i] = Lanes<kNarrowLanes>{};
    work.y[i] = Lanes<kNarrowLanes>{};
    for (int32_t w = 0; w < lanes; ++w) work.x[i].lane[w] = solves.solution[at + group[w]];
  }
  apply_operator(P, work.x.get(), work.y.get(), work.far);
  for (int32_t i = 0; i < n; ++i) {
    const size_t at = static_cast<size_t>(tree.panel[i]) * conductors;
    for (int32_t w = 0; w < lanes; ++w) solves.product[at + group[w]] = work.y[i].lane[w];
  }
}

/// Every conductor's solve from one queue that the threads' lane groups share, and P x of each
/// as soon as a thread has no solve left to run.
ConductorSolves solve_from_queue(const LevelMesh& mesh, const ClusterTree& tree,
                                 const LevelOperator& Q, const LevelOperator& P,
                                 const LevelPreconditioner& M, std::vector<double> start,
                                 int32_t conductors, const LevelSettings& settings) {
  const int32_t n = static_cast<int32_t>(mesh.panels.size());
  const int32_t groups = (conductors + kNarrowLanes - 1) / kNarrowLanes;
  ConductorSolves solves;
  solves.solution = std::move(start);
  solves.product.resize(static_cast<size_t>(n) * conductors);
  std::vector<LaneOutcome> outcome(conductors);
  std::atomic<int32_t> next{0};
  ProductQueue products(conductors);
  const int32_t workers = parallel_for_threads(groups, settings.threads);
  parallel_for(workers, settings.threads, [&](int64_t, int32_t) {
    std::unique_ptr<LaneWork> work(new LaneWork(Q.far, M, n));
    solve_queued_conductors(mesh, tree, Q, M, conductors, settings.stationary_tolerance,
                            10 * n + 1000, next, solves.solution, outcome, products.finished.data(),
                            *work);
    if (&P.far != &Q.far) work.reset(new LaneWork(P.far, M, n));
    for (std::vector<int32_t> group = products.take(); !group.empty(); group = products.take())
      add_products(tree, P, group, conductors, *work, solves);
  });
  for (const LaneOutcome& lane : outcome) {
    solves.iterations += lane.iterations;
    solves.converged = solves.converged && lane.converged;
  }
  return solves;
}

}  // namespace

ConductorSolves solve_conductors(const LevelMesh& mesh, const ClusterTree& tree,
                                 const LevelOperator& Q, const LevelOperator& P,
                                 const LevelPreconditioner& M, std::vector<double> start,
                                 int32_t conductors, const LevelSettings& settings) {
  const SolveShare& share = settings.share;
  if (share.parts == 1 && M.work_size() == 0) {
    return solve_from_queue(mesh, tree, Q, P, M, std::move(start), conductors, settings);
  }
  const int32_t n = static_cast<int32_t>(mesh.panels.size());
  const int32_t groups = (conductors + kNarrowLanes - 1) / kNarrowLanes;
  const int32_t own_groups = std::max(0, (groups - share.part + share.parts - 1) / share.parts);
  ConductorSolves solves;
  solves.solution = std::move(start);
  solves.product.resize(static_cast<size_t>(n) * conductors);
  std::vector<std::vector<LaneOutcome>> outcomes(groups);
  std::vector<std::unique_ptr<LaneWork>> work(parallel_for_threads(own_groups, settings.threads));
  parallel_for(own_groups, settings.threads, [&](int64_t own_group, int32_t thread) {
    const int64_t g = share.part + own_group * share.parts;
    if (!work[thread]) work[thread].reset(new LaneWork(P.far, M, n));
    LaneWork& own = *work[thread];
    const int32_t first = static_cast<int32_t>(g) * kNarrowLanes;
    const int32_t lanes = std::min(kNarrowLanes, conductors - first);
    fill_group(mesh, tree, solves.solution, conductors, first, own);
    outcomes[g] = solve_lanes(Q, P, M, own.b.get(), own.x.get(), own.y.get(),
                              settings.stationary_tolerance, 10 * n + 1000, own);
    outcomes[g].resize(lanes);
    for (int32_t i = 0; i < n; ++i) {
      const size_t at = static_cast<size_t>(tree.panel[i]) * conductors + first;
      for (int32_t w = 0; w < lanes; ++w) {
        solves.solution[at + w] = own.x[i].lane[w];
        solves.product[at + w] = own.y[i].lane[w];
      }
    }
  });
  for (const auto& group : outcomes) {
    for (const LaneOutcome& lane : group) {
      solves.iterations += lane.iterations;
      solves.converged = solves.converged && lane.converged;
    }
  }
  if (share.parts > 1) {
    share.gather(solves.solution, solves.product, conductors, kNarrowLanes, solves.iterations,
                 solves.converged);
  }
  return solves;
}

std::vector<double> capacitance_of(const LevelMesh& mesh, const ConductorSolves& solves,
                                   int32_t conductors) {
  const size_t n = mesh.panels.size();
  const std::vector<double>& x = solves.solution;
  std::vector<double> charge_on(static_cast<size_t>(conductors) * conductors, 0.0);  // b_jᵀ x_k
  for (size_t i = 0; i < n; ++i) {
    const uint32_t j = mesh.panels[i].conductor;
    for (int32_t k = 0; k < conductors; ++k) charge_on[j * conductors + k] += x[i * conductors + k];
  }
  std::vector<double> capacitance(static_cast<size_t>(conductors) * conductors, 0.0);
  for (int32_t j = 0; j < conductors; ++j) {
    for (int32_t k = j; k < conductors; ++k) {
      double energy = 0.0;
      for (size_t i = 0; i < n; ++i)
        energy += x[i * conductors + j] * solves.product[i * conductors + k];
      double c = kFourPiEpsilon0 *
                 (charge_on[j * conductors + k] + charge_on[k * conductors + j] - energy);
      capacitance[j * conductors + k] = c;
      capacitance[k * conductors + j] = c;
    }
  }
  return capacitance;
}

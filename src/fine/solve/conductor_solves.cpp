#include "fine/solve/conductor_solves.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <memory>
#include <mutex>
#include <thread>

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

/// The products P x of the solutions, made by whichever thread is free as the solves finish,
/// a whole lane group at a time: a product costs the same for one lane as for all of them. What
/// is left when every solve is done the threads make together.
struct ProductQueue {
  explicit ProductQueue(int32_t conductors) : finished(conductors), taken(conductors, 0) {
    for (auto& flag : finished) flag.store(0, std::memory_order_relaxed);
  }
  std::vector<std::atomic<char>> finished;  // set by the solves, their solutions written
  std::mutex guard;                         // of taken
  std::vector<char> taken;                  // by a product

  /// kNarrowLanes finished conductors not taken yet, now taken, in ascending order, or none
  /// where fewer are waiting. `all_finished` tells whether every solve is done.
  std::vector<int32_t> take_group(bool& all_finished) {
    std::lock_guard<std::mutex> lock(guard);
    std::vector<int32_t> group;
    all_finished = true;
    for (size_t c = 0; c < taken.size(); ++c) {
      if (!finished[c].load(std::memory_order_acquire)) {
        all_finished = false;
      } else if (!taken[c] && group.size() < kNarrowLanes) {
        group.push_back(static_cast<int32_t>(c));
      }
    }
    if (group.size() < kNarrowLanes) return {};
    for (int32_t c : group) taken[c] = 1;
    return group;
  }

  /// Up to kNarrowLanes conductors not taken yet, now taken; after the solves.
  std::vector<int32_t> take_rest() {
    std::vector<int32_t> group;
    for (size_t c = 0; c < taken.size() && group.size() < kNarrowLanes; ++c) {
      if (!taken[c]) {
        taken[c] = 1;
        group.push_back(static_cast<int32_t>(c));
      }
    }
    return group;
  }
};

/// Lane w of x holds the solution of conductor group[w], the lanes past them zeros; y zeros.
void fill_products(const ClusterTree& tree, const std::vector<int32_t>& group, int32_t conductors,
                   const ConductorSolves& solves, LaneWork& work) {
  const int32_t n = static_cast<int32_t>(tree.panel.size());
  const int32_t lanes = static_cast<int32_t>(group.size());
  for (int32_t i = 0; i < n; ++i) {
    const size_t at = static_cast<size_t>(tree.panel[i]) * conductors;
    work.x[i] = Lanes<kNarrowLanes>{};
    work.y[i] = Lanes<kNarrowLanes>{};
    for (int32_t w = 0; w < lanes; ++w) work.x[i].lane[w] = solves.solution[at + group[w]];
  }
}

/// The products of `group` from y.
void keep_products(const ClusterTree& tree, const std::vector<int32_t>& group, int32_t conductors,
                   const LaneWork& work, ConductorSolves& solves) {
  const int32_t n = static_cast<int32_t>(tree.panel.size());
  for (int32_t i = 0; i < n; ++i) {
    const size_t at = static_cast<size_t>(tree.panel[i]) * conductors;
    for (size_t w = 0; w < group.size(); ++w) solves.product[at + group[w]] = work.y[i].lane[w];
  }
}

/// P x for the conductors of `group`, one lane each: every lane's product is its own, so the
/// bits do not depend on which conductors share a group.
void add_products(const ClusterTree& tree, const LevelOperator& P,
                  const std::vector<int32_t>& group, int32_t conductors, LaneWork& work,
                  ConductorSolves& solves) {
  fill_products(tree, group, conductors, solves, work);
  apply_operator(P, work.x.get(), work.y.get(), work.far);
  keep_products(tree, group, conductors, work, solves);
}

/// The same made by `threads` threads together, with the bits of add_products: the near part
/// beside the far field's moments, then the far field's local expansions shared.
void add_products_together(const ClusterTree& tree, const LevelOperator& P,
                           const std::vector<int32_t>& group, int32_t conductors, int32_t threads,
                           LaneWork& work, ConductorSolves& solves) {
  fill_products(tree, group, conductors, solves, work);
  apply_operator(P, work.x.get(), work.y.get(), work.far, threads);
  keep_products(tree, group, conductors, work, solves);
}

/// Every conductor's solve from one queue that the threads' lane groups share; P x of whole
/// groups as soon as a thread has no solve left to run, and of the rest by all threads at the
/// end.
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
  std::vector<std::unique_ptr<LaneWork>> work(workers);
  std::vector<int32_t> made_products(workers, 0);
  parallel_for(workers, settings.threads, [&](int64_t, int32_t thread) {
    work[thread].reset(new LaneWork(Q.far, M, n));
    solve_queued_conductors(mesh, tree, Q, M, conductors, settings.stationary_tolerance,
                            10 * n + 1000, next, solves.solution, outcome, products.finished.data(),
                            *work[thread]);
    if (&P.far != &Q.far) work[thread].reset(new LaneWork(P.far, M, n));
    for (;;) {
      bool all_finished = false;
      const std::vector<int32_t> group = products.take_group(all_finished);
      if (!group.empty()) {
        add_products(tree, P, group, conductors, *work[thread], solves);
        made_products[thread] += 1;
      } else if (all_finished) {
        break;
      } else {  // the other threads' solves will finish a group soon
        std::this_thread::sleep_for(std::chrono::microseconds(100));
      }
    }
  });
  // Shared, a product above the kept degree keeps every thread busy where one of them alone
  // would leave the others waiting for the level's last products.
  const bool together = settings.threads > 1 && P.degree > P.far.kept_degree();
  // The work space of a thread that made products already has its pages for the moments: new
  // pages are slow to come by on some machines (a tenth of a second for a level of a cell).
  // Any will do (a thread that could not start has none).
  int32_t chosen = -1;
  for (int32_t t = 0; t < workers; ++t) {
    if (work[t] != nullptr && (chosen < 0 || made_products[t] > made_products[chosen])) chosen = t;
  }
  LaneWork& rest =
      chosen >= 0 ? *work[chosen] : *(work[0] = std::make_unique<LaneWork>(P.far, M, n));
  for (std::vector<int32_t> group = products.take_rest(); !group.empty();
       group = products.take_rest()) {
    if (together) {
      add_products_together(tree, P, group, conductors, settings.threads, rest, solves);
    } else {
      add_products(tree, P, group, conductors, rest, solves);
    }
  }
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
                                   int32_t conductors, int32_t threads) {
  const size_t n = mesh.panels.size();
  const std::vector<double>& x = solves.solution;
  std::vector<double> charge_on(static_cast<size_t>(conductors) * conductors, 0.0);  // b_jᵀ x_k
  for (size_t i = 0; i < n; ++i) {
    const uint32_t j = mesh.panels[i].conductor;
    for (int32_t k = 0; k < conductors; ++k) charge_on[j * conductors + k] += x[i * conductors + k];
  }
  std::vector<double> capacitance(static_cast<size_t>(conductors) * conductors, 0.0);
  parallel_for(conductors, threads, [&](int64_t row, int32_t) {  // each entry its own sum
    const int32_t j = static_cast<int32_t>(row);
    for (int32_t k = j; k < conductors; ++k) {
      double energy = 0.0;
      for (size_t i = 0; i < n; ++i)
        energy += x[i * conductors + j] * solves.product[i * conductors + k];
      double c = kFourPiEpsilon0 *
                 (charge_on[j * conductors + k] + charge_on[k * conductors + j] - energy);
      capacitance[j * conductors + k] = c;
      capacitance[k * conductors + j] = c;
    }
  });
  return capacitance;
}

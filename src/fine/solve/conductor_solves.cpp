#include "fine/solve/conductor_solves.h"

#include <algorithm>
#include <memory>

#include "common/parallel_for.h"
#include "common/physical_constants.h"

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

}  // namespace

ConductorSolves solve_conductors(const LevelMesh& mesh, const ClusterTree& tree,
                                 const LevelOperator& Q, const LevelOperator& P,
                                 const LevelPreconditioner& M, std::vector<double> start,
                                 int32_t conductors, const LevelSettings& settings) {
  const int32_t n = static_cast<int32_t>(mesh.panels.size());
  const int32_t groups = (conductors + kNarrowLanes - 1) / kNarrowLanes;
  const SolveShare& share = settings.share;
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

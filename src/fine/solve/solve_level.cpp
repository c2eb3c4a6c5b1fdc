#include "fine/solve/solve_level.h"

#include <algorithm>
#include <memory>

#include "common/parallel_for.h"
#include "common/physical_constants.h"
#include "fine/clusters/cluster_tree.h"
#include "fine/clusters/interaction_lists.h"
#include "fine/far_field/far_field.h"
#include "fine/solve/lane_pcg.h"
#include "fine/solve/level_memory.h"
#include "fine/solve/level_timer.h"
#include "fine/solve/medium_level.h"
#include "fine/solve/symmetric_level.h"

namespace {

/// Every conductor's solve, in groups of kNarrowLanes side by side: the solutions x, started
/// from `start`, and P x, in mesh order, conductor by conductor side by side. The solutions take
/// over the starts' room: each group reads its own starts before it writes its solutions there.
struct ConductorSolves {
  std::vector<double> solution;  // per panel and conductor
  std::vector<double> product;   // P times the solutions, likewise
  int64_t iterations = 0;        // conjugate-gradient steps of all solves
  bool converged = true;         // every solve met its tolerance
};

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
    outcomes[g] = solve_lanes(Q, P, M, own.b.get(), own.x.get(), own.y.get(), settings.tolerance,
                              10 * n + 1000, own);
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

/// C(j, k) = b_jᵀ x_k + b_kᵀ x_j − x_jᵀ P x_k: stationary in the errors of both solves, so
/// their residuals spoil it only to second order; computed for j <= k and mirrored.
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

}  // namespace

LevelResult solve_level(const FineStructure& structure, const std::vector<double>& feature,
                        int32_t m, const LevelSettings& settings, const LevelResult* previous,
                        const LevelSystem* system) {
  if (system != nullptr && !(system->faces->uniform && system->masters.empty())) {
    return solve_level_in_medium(*system, feature, m, settings, previous);
  }
  LevelResult result;
  LevelTimer timer(m);
  result.mesh = make_level_mesh(structure, feature, m, growing_middle(system));
  const LevelMesh& mesh = result.mesh;
  const int32_t n = static_cast<int32_t>(mesh.panels.size());
  const int32_t conductors = static_cast<int32_t>(structure.conductors.size());

  ClusterTree tree(mesh, settings.leaf_size);
  InteractionLists lists = make_interaction_lists(tree, settings.separation);
  timer.finish("mesh and clusters");
  SymmetricLevel level(mesh, tree, lists, settings, nullptr, nullptr, timer);
  level.count(mesh, tree, lists, previous, conductors, settings.threads, result);

  // Starting charges in mesh order, conductor by conductor side by side.
  std::vector<double> start(static_cast<size_t>(n) * conductors, 0.0);
  if (previous != nullptr) {
    carry_charge_density(previous->mesh, mesh, previous->charge.data(), conductors, start.data());
  }
  ConductorSolves solves = solve_conductors(mesh, tree, level.Q, level.P, level.preconditioner,
                                            std::move(start), conductors, settings);
  timer.finish("solves");
  result.iterations = solves.iterations;
  result.converged = solves.converged;
  result.capacitance = capacitance_of(mesh, solves, conductors);
  if (system != nullptr) {  // a uniform medium: the vacuum's charges times its permittivity
    for (double& c : result.capacitance) c *= system->faces->uniform_permittivity;
  }
  result.charge = std::move(solves.solution);
  timer.finish("capacitance");
  return result;
}

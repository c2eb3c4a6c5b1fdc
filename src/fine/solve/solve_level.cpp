#include "fine/solve/solve_level.h"

#include "fine/clusters/cluster_tree.h"
#include "fine/clusters/interaction_lists.h"
#include "fine/far_field/far_field.h"
#include "fine/solve/conductor_solves.h"
#include "fine/solve/lane_pcg.h"
#include "fine/solve/level_memory.h"
#include "fine/solve/level_timer.h"
#include "fine/solve/medium_level.h"
#include "fine/solve/symmetric_level.h"

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
  result.capacitance = capacitance_of(mesh, solves, conductors, settings.threads);
  if (system != nullptr) {  // a uniform medium: the vacuum's charges times its permittivity
    for (double& c : result.capacitance) c *= system->faces->uniform_permittivity;
  }
  result.charge = std::move(solves.solution);
  timer.finish("capacitance");
  return result;
}

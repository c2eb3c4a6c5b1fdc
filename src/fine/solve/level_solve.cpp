#include "fine/solve/level_solve.h"

#include <algorithm>
#include <memory>

#include "common/parallel_for.h"
#include "fine/clusters/cluster_tree.h"
#include "fine/clusters/interaction_lists.h"
#include "fine/far_field/far_field.h"
#include "fine/program/level_timer.h"
#include "fine/solve/fine_kernels.h"
#include "fine/solve/incomplete_factor.h"
#include "fine/solve/lane_pcg.h"
#include "fine/solve/near_field.h"

LevelResult solve_level(const FineStructure& structure, const std::vector<double>& feature,
                        int32_t m, const LevelSettings& settings, const LevelResult* previous) {
  LevelResult result;
  LevelTimer timer(m);
  result.mesh = make_level_mesh(structure, feature, m);
  const LevelMesh& mesh = result.mesh;
  const int32_t n = static_cast<int32_t>(mesh.panels.size());
  const int32_t conductors = static_cast<int32_t>(structure.conductors.size());

  ClusterTree tree(mesh, settings.leaf_size);
  InteractionLists lists = make_interaction_lists(tree, settings.separation);
  timer.finish("mesh and clusters");
  NearField near = make_near_field(mesh, tree, lists, settings.threads);
  timer.finish("near coefficients");
  FarField far(mesh, tree, lists, settings.expansion_order, settings.separation,
               settings.iteration_order);
  timer.finish("far field");
  IncompleteFactor factor = make_incomplete_factor(near, settings.factor_keep);
  timer.finish("factor");
  const int32_t groups = (conductors + kNarrowLanes - 1) / kNarrowLanes;
  const int32_t solving_threads = parallel_for_threads(groups, settings.threads);
  result.near_entries = near.row_start[n] + n;
  result.bytes = 12.0 * (near.row_start[n] + factor.row_start[n]) +
                 8.0 * (far.panel_moment.size() + far.shift.size() + far.derivative.size()) +
                 24.0 * n * conductors +
                 solving_threads * (7.0 * 64.0 * n + 2.0 * 64.0 * far.block_count);
  result.far_links = static_cast<int64_t>(lists.far.size());

  // Starting charges in mesh order, conductor by conductor side by side.
  std::vector<double> start(static_cast<size_t>(n) * conductors, 0.0);
  if (previous != nullptr) {
    carry_charge_density(previous->mesh, mesh, previous->charge.data(), conductors, start.data());
  }
  std::vector<double> solution(static_cast<size_t>(n) * conductors);
  std::vector<double> product(static_cast<size_t>(n) * conductors);
  std::vector<std::vector<LaneOutcome>> outcomes(groups);
  const FineKernels& kernels = fine_kernels(settings.instruction_set);
  LevelOperator P{near, far, kernels, settings.instruction_set, settings.expansion_order};
  LevelOperator Q{near, far, kernels, settings.instruction_set,
                  std::min(settings.iteration_order, settings.expansion_order)};
  std::vector<std::unique_ptr<LaneWork>> work(solving_threads);
  parallel_for(groups, settings.threads, [&](int64_t g, int32_t thread) {
    if (!work[thread]) work[thread].reset(new LaneWork(far, n));
    const int32_t first = static_cast<int32_t>(g) * kNarrowLanes;
    const int32_t lanes = std::min(kNarrowLanes, conductors - first);
    std::vector<Lanes<kNarrowLanes>> b(n), x(n), y(n);
    for (int32_t i = 0; i < n; ++i) {
      const int32_t panel = tree.panel[i];
      b[i] = Lanes<kNarrowLanes>{};
      x[i] = Lanes<kNarrowLanes>{};
      for (int32_t w = 0; w < lanes; ++w) {
        b[i].lane[w] = mesh.panels[panel].conductor == static_cast<uint32_t>(first + w) ? 1.0 : 0.0;
        x[i].lane[w] = start[static_cast<size_t>(panel) * conductors + first + w];
      }
    }
    std::vector<LaneOutcome> lane = solve_lanes(Q, P, factor, b.data(), x.data(), y.data(),
                                                settings.tolerance, 10 * n + 1000, *work[thread]);
    lane.resize(lanes);
    outcomes[g] = lane;
    for (int32_t i = 0; i < n; ++i) {
      const int32_t panel = tree.panel[i];
      for (int32_t w = 0; w < lanes; ++w) {
        solution[static_cast<size_t>(panel) * conductors + first + w] = x[i].lane[w];
        product[static_cast<size_t>(panel) * conductors + first + w] = y[i].lane[w];
      }
    }
  });
  timer.finish("solves");
  for (const auto& group : outcomes) {
    for (const LaneOutcome& lane : group) {
      result.iterations += lane.iterations;
      result.converged = result.converged && lane.converged;
    }
  }
  // C(j, k) = b_jᵀ x_k + b_kᵀ x_j − x_jᵀ P x_k: stationary in the errors of both solves, so
  // their residuals spoil it only to second order; computed for j <= k and mirrored.
  std::vector<double> charge_on(static_cast<size_t>(conductors) * conductors, 0.0);  // b_jᵀ x_k
  for (int32_t i = 0; i < n; ++i) {
    const uint32_t j = mesh.panels[i].conductor;
    for (int32_t k = 0; k < conductors; ++k)
      charge_on[j * conductors + k] += solution[static_cast<size_t>(i) * conductors + k];
  }
  result.capacitance.assign(static_cast<size_t>(conductors) * conductors, 0.0);
  for (int32_t j = 0; j < conductors; ++j) {
    for (int32_t k = j; k < conductors; ++k) {
      double energy = 0.0;
      for (int32_t i = 0; i < n; ++i) {
        energy += solution[static_cast<size_t>(i) * conductors + j] *
                  product[static_cast<size_t>(i) * conductors + k];
      }
      double c =
          kFourPiEpsilon * (charge_on[j * conductors + k] + charge_on[k * conductors + j] - energy);
      result.capacitance[j * conductors + k] = c;
      result.capacitance[k * conductors + j] = c;
    }
  }
  result.charge = std::move(solution);
  timer.finish("capacitance");
  return result;
}

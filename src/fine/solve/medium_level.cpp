#include "fine/solve/medium_level.h"

#include <algorithm>
#include <memory>

#include "common/parallel_for.h"
#include "common/vector_bytes.h"
#include "fine/clusters/interaction_lists.h"
#include "fine/far_field/far_field.h"
#include "fine/solve/conductor_rows_choice.h"
#include "fine/solve/conductor_solves.h"
#include "fine/solve/lane_gmres.h"
#include "fine/solve/level_memory.h"
#include "fine/solve/level_timer.h"
#include "fine/solve/master_solves.h"
#include "fine/solve/near_rows.h"
#include "fine/solve/symmetric_level.h"

namespace {

// Panels of a leaf cluster at the most in a stack (settings.leaf_size where that is fewer).
constexpr int32_t kStackLeafSize = 8;

/// Per mesh panel: its layer, whether its row is a piece's, and its free-charge factor (for a
/// piece: f of its row).
struct PanelMedia {
  std::vector<int32_t> layer;    // the stack's layer it lies in
  std::vector<int32_t> group;    // the merged layer: the clusters' group
  std::vector<char> normal_row;  // 1 for a piece's panel
  std::vector<double> factor;    // FaceMedium::factor of its face
};

PanelMedia panel_media(const LevelMesh& mesh, const SolveFaces& faces) {
  PanelMedia media;
  const MergedStack merged = merge_equal_neighbours(faces.stack);
  const size_t n = mesh.panels.size();
  media.layer.resize(n);
  media.group.resize(n);
  media.normal_row.resize(n);
  media.factor.resize(n);
  for (size_t f = 0; f + 1 < mesh.face_first.size(); ++f) {
    const FaceMedium& face = faces.medium[f];
    for (uint32_t p = mesh.face_first[f]; p < mesh.face_first[f + 1]; ++p) {
      media.layer[p] = face.layer;
      media.group[p] = merged.merged_of[face.layer];
      media.normal_row[p] = face.piece ? 1 : 0;
      media.factor[p] = face.factor;
    }
  }
  return media;
}

/// Bytes of a level of the system with pieces: what it holds, and the most of its phases.
int64_t general_bytes(const LevelMesh& mesh, const ClusterTree& tree, const InteractionLists& lists,
                      const NearRows& near, const FarField& far, const BlockPreconditioner& M,
                      const LevelResult* previous, int32_t solves, int32_t threads) {
  int64_t held = vectors_bytes(mesh.panels, tree.nodes, tree.panel, lists.far, lists.near,
                               near.row_start, near.col, near.value);
  if (previous != nullptr) held += vectors_bytes(previous->mesh.panels, previous->charge);
  const int64_t n = near.n;
  const int32_t groups = (solves + kNarrowLanes - 1) / kNarrowLanes;
  const int64_t solve_phase =
      far.bytes() +
      vectors_bytes(M.factor.value, M.factor.col, M.diagonal, M.blocks.rows, M.blocks.factor) +
      3 * n * solves * static_cast<int64_t>(sizeof(double)) +
      parallel_for_threads(groups, threads) *
          (GmresWork::bytes(far, near.n, static_cast<int32_t>(M.conductor_at.size()), 40) +
           RecycledSpace::bytes(near.n, kRecycledColumns) +
           3 * n * static_cast<int64_t>(sizeof(Lanes<kNarrowLanes>)));
  return held + solve_phase;
}

/// The medium as the near coefficients and the far field of a level see it.
struct LevelMedia {
  NearMedium near;
  FarFieldMedium far;
};

LevelMedia level_media_of(const SolveFaces& faces, const LayeredKernel* kernel,
                          const PanelMedia& media, const ClusterTree& tree) {
  LevelMedia out;
  out.near.kernel = kernel;
  out.near.layer = media.layer;
  if (!faces.symmetric) out.near.normal_row = media.normal_row;
  out.near.layers = static_cast<int32_t>(faces.stack.permittivity.size());
  out.far.kernel = kernel;
  for (const ClusterNode& node : tree.nodes)
    out.far.node_layer.push_back(media.layer[tree.panel[node.first]]);
  if (!faces.symmetric) out.far.normal_row = media.normal_row;
  return out;
}

/// The reduction of the residual at which a solve in a stack stops, about the difference of the
/// iterations' far field from the accurate one there.
constexpr double kStackInnerReduction = 1e-3;

/// The settings of a level in a layer stack or with dielectric pieces. There the far field cut at
/// the iterations' lower degree differs from the accurate one by about a thousandth of the
/// right-hand side (7e-4 on a bus in ten layers), so a solve to the tolerance under it was wasted
/// beyond three digits: each correction under the accurate field gained only those, and the four
/// corrections took more steps than the first solve. Each solve now stops at that reduction and
/// the corrections repeat it. Iterating with the accurate field instead halves the steps but a
/// step of it costs five times as much in a stack.
LevelSettings medium_settings(LevelSettings settings, bool layered_or_pieces) {
  if (layered_or_pieces) settings.inner_reduction = kStackInnerReduction;
  return settings;
}

/// The solves of a symmetric level (no pieces). Where every conductor is computed, every row
/// in vacuum's stationary form, into result.capacitance: it sees the solves' errors squared, so
/// they stop at the tolerance under the iterations' far field with no corrections under the
/// accurate one (a row from the charges alone needs a hundred times the tolerance under the
/// accurate field: one and a half to twice the steps in a stack). Else the masters' solves,
/// whose rows master_rows gives.
MasterSolves solve_symmetric(const LevelSystem& system, const LevelMesh& mesh,
                             const ClusterTree& tree, const InteractionLists& lists,
                             const LevelSettings& settings, const LevelMedia& media,
                             std::vector<double> start, const std::vector<int32_t>& masters,
                             const LevelResult* previous, LevelTimer& timer, LevelResult& result) {
  const bool layered = system.kernel != nullptr;
  SymmetricLevel level(mesh, tree, lists, settings, layered ? &media.near : nullptr,
                       layered ? &media.far : nullptr, timer);
  const int32_t solves = static_cast<int32_t>(masters.size());
  level.count(mesh, tree, lists, previous, solves, settings.threads, result);
  if (!system.masters.empty()) {
    return solve_symmetric_masters(mesh, tree, level.Q, level.P, level.preconditioner, start,
                                   masters, settings);
  }
  ConductorSolves all = solve_conductors(mesh, tree, level.Q, level.P, level.preconditioner,
                                         std::move(start), solves, settings);
  result.capacitance = capacitance_of(mesh, all, solves, settings.threads);
  MasterSolves answer;
  answer.solution = std::move(all.solution);
  answer.iterations = all.iterations;
  answer.converged = all.converged;
  return answer;
}

}  // namespace

LevelResult solve_level_in_medium(const LevelSystem& system, const std::vector<double>& feature,
                                  int32_t m, const LevelSettings& given,
                                  const LevelResult* previous) {
  const LevelSettings settings =
      medium_settings(given, system.kernel != nullptr || !system.faces->symmetric);
  const SolveFaces& faces = *system.faces;
  LevelResult result;
  LevelTimer timer(m);
  result.mesh = make_level_mesh(faces.structure, feature, m, growing_middle(&system));
  const LevelMesh& mesh = result.mesh;
  const int32_t n = static_cast<int32_t>(mesh.panels.size());
  const int32_t conductors = static_cast<int32_t>(faces.no_conductor);
  std::vector<int32_t> masters = system.masters;
  if (masters.empty()) {
    for (int32_t k = 0; k < conductors; ++k) masters.push_back(k);
  }
  const int32_t solves = static_cast<int32_t>(masters.size());
  const PanelMedia media = panel_media(mesh, faces);
  const LayeredKernel* kernel = system.kernel;

  // In a stack, a near coefficient costs a closed form per image and the strips cut at the
  // layers' boundaries are long beside short panels: smaller leaves and the long panels split
  // off cut the near pairs (lines24's level 1: from 8.4 to 3.4 million) for a few more far ones.
  const bool stack = kernel != nullptr;
  ClusterTree tree(mesh, stack ? std::min(settings.leaf_size, kStackLeafSize) : settings.leaf_size,
                   stack ? &media.group : nullptr, stack);
  InteractionLists lists = make_interaction_lists(tree, settings.separation);
  const LevelMedia level_media = level_media_of(faces, kernel, media, tree);
  const NearMedium& near_medium = level_media.near;
  const FarFieldMedium& far_medium = level_media.far;
  timer.finish("mesh and clusters");

  std::vector<double> start(static_cast<size_t>(n) * solves, 0.0);
  if (previous != nullptr)
    carry_charge_density(previous->mesh, mesh, previous->charge.data(), solves, start.data());
  MasterSolves answer;
  if (faces.symmetric) {
    answer = solve_symmetric(system, mesh, tree, lists, settings, level_media, std::move(start),
                             masters, previous, timer, result);
  } else {
    NearRows near = make_near_rows(mesh, tree, lists, settings.threads, near_medium);
    timer.finish("near coefficients");
    FarField far(mesh, tree, lists, settings.highest_degree, settings.iteration_degree,
                 settings.separation, &far_medium);
    timer.finish("far field");
    GeneralSystem A{near, far, {}, {}, {}, settings.instruction_set};
    for (int32_t i = 0; i < n; ++i) {
      const int32_t p = tree.panel[i];
      A.piece.push_back(media.normal_row[p]);
      A.area.push_back(mesh.panels[p].area);
      A.factor.push_back(media.normal_row[p] ? media.factor[p] : 0.0);
    }
    BlockPreconditioner M = make_block_preconditioner(A, tree, settings.factor_keep);
    timer.finish("factor");
    if (M.use_blocks && M.factor.made) {
      // The trial runs the first group of solves, from its start, which it then moves on.
      std::unique_ptr<Lanes<kNarrowLanes>[]> b(new Lanes<kNarrowLanes>[n]),
          x(new Lanes<kNarrowLanes>[n]);
      fill_masters(mesh, tree, start, masters, 0, b.get(), x.get());
      choose_conductor_rows(A, std::min(settings.iteration_degree, settings.highest_degree),
                            b.get(), x.get(), M, settings.threads);
      keep_lanes(tree, x.get(), solves, 0, start);
      timer.finish(M.use_blocks ? "trial, the leaves' blocks kept" : "trial, the factor kept");
    }
    result.near_entries = near.row_start[n];
    result.far_links = far.pair_count();
    result.bytes = static_cast<double>(
        general_bytes(mesh, tree, lists, near, far, M, previous, solves, settings.threads));
    answer = solve_general_masters(mesh, tree, A, M, settings.highest_degree,
                                   std::min(settings.iteration_degree, settings.highest_degree),
                                   start, masters, settings);
  }
  timer.finish("solves");
  result.iterations = answer.iterations;
  result.converged = answer.converged;
  if (result.capacitance.empty())
    result.capacitance = master_rows(mesh, answer, solves, conductors, media.factor);
  if (faces.uniform) {
    for (double& c : result.capacitance) c *= faces.uniform_permittivity;
  }
  result.charge = std::move(answer.solution);
  timer.finish("capacitance");
  return result;
}

#include "fine/program/extraction.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>

#include "fine/mesh/feature_scale.h"
#include "fine/mesh/master_grading.h"
#include "fine/mesh/middle_grading.h"
#include "fine/program/kernel_floor.h"
#include "fine/solve/level_timer.h"
#include "fine/solve/window_rows.h"

namespace {

/// The level after m: about 1.4 times finer, so that each level costs about twice the last.
int32_t next_level(int32_t m) {
  int32_t next = static_cast<int32_t>(std::lround(1.4 * m));
  return next > m ? next : m + 1;
}

/// Panels of level m, from those of level `before`: the faces are cut m times finer in each of
/// their two extents.
double expected_panels(int32_t m, int32_t before, double panels_before) {
  double ratio = static_cast<double>(m) / before;
  return panels_before * ratio * ratio;
}

/// Level m's line of the report.
LevelReport report_of(int32_t m, const LevelResult& result, double seconds, double change) {
  return {m,
          static_cast<int64_t>(result.mesh.panels.size()),
          result.near_entries + result.far_links,
          result.iterations,
          seconds,
          change,
          result.bytes};
}

/// A first fit whose term on the smallest counted entry takes more than a quarter of the accuracy
/// (five times the bound kernel_tolerance_for_matrix wants) is made again; below that the estimate
/// has room enough, and a tighter fit of many layers costs time.
constexpr double kRefitAbove = 5.0;

/// Whether the first level's matrix asks for a tighter fit than the kernels' (whose share of
/// `floor` is `fitted`): if it does and a tighter fit lowers that share, the kernels are fitted
/// again and the floor set anew.
bool refit_kernels(const FineOptions& options, const std::vector<double>& capacitance,
                   int32_t conductors, const SolveFaces& faces, double fitted,
                   std::unique_ptr<LayeredKernel>* kernel, double* floor) {
  const double wanted =
      kernel_tolerance_for_matrix(options.accuracy, capacitance, conductors, options.masters);
  if (!(fitted > kRefitAbove * wanted)) return false;
  LevelTimer timer(1);
  std::unique_ptr<LayeredKernel> tighter(new LayeredKernel(faces.stack, wanted));
  const double tighter_share = kernel_floor(*tighter, faces);
  timer.finish("images fitted again");
  if (!(tighter_share < fitted)) return false;
  *floor += tighter_share - fitted;
  *kernel = std::move(tighter);
  return true;
}

/// The feature scale of each face. In a stack, faces are cut at every layer boundary and around
/// every piece: long, thin faces whose middles need no segments of their width, and strips graded
/// as the whole sides they come from (system->middle). A uniform medium cuts nothing: it is
/// meshed as in vacuum. With master nets, the faces away from them are meshed more coarsely.
std::vector<double> face_features(const SolveFaces& faces, const std::vector<int32_t>& masters,
                                  int32_t conductors, LevelSystem* system) {
  // Dielectric pieces belong to no conductor: no piece is a detail of another's surface.
  std::vector<uint32_t> owner = faces.structure.conductor_of_panel;
  for (uint32_t& conductor : owner) {
    if (conductor == faces.no_conductor) conductor = kNoConductor;
  }
  if (!faces.uniform) system->middle = middle_grading(faces.structure.panels, owner);
  return master_graded_scales(faces.structure.panels, owner, masters, conductors,
                              faces.uniform ? feature_scales(faces.structure.panels, owner)
                                            : whole_feature_scales(system->middle));
}

/// With VORNAX_LEVEL_ROWS=1, each level's computed rows on standard error (in Cap.txt's unit),
/// so that a run stopped before its end still shows how its levels approach the result.
void print_level_rows(const FineStructure& structure, int32_t m, const std::vector<int32_t>& rows,
                      const std::vector<double>& capacitance) {
  const char* setting = std::getenv("VORNAX_LEVEL_ROWS");
  if (setting == nullptr || std::string(setting) != "1") return;
  const size_t conductors = structure.conductors.size();
  for (size_t r = 0; r < rows.size(); ++r) {
    std::fprintf(stderr, "vornax-fine: level %d row %s:", m,
                 structure.conductors[rows[r]].label.c_str());
    for (size_t k = 0; k < conductors; ++k)
      std::fprintf(stderr, " %s %.9g", structure.conductors[k].label.c_str(),
                   capacitance[r * conductors + k]);
    std::fprintf(stderr, "\n");
  }
}

}  // namespace

LevelSettings level_settings_for(double accuracy, int32_t threads, InstructionSet set) {
  LevelSettings settings;
  settings.threads = threads;
  settings.instruction_set = set;
  if (accuracy < 0.005) {
    settings.highest_degree = 12;
    settings.iteration_degree = 5;
    settings.separation = 0.5;
    settings.near_tolerance = 1e-7;
    settings.tolerance = 1e-9;
    settings.stationary_tolerance = 1e-6;
  }
  return settings;
}

FineResult extract_fine(const FineStructure& structure, const FineOptions& options) {
  FineResult outcome;
  const int32_t conductors = static_cast<int32_t>(structure.conductors.size());
  LevelSettings settings =
      level_settings_for(options.accuracy, options.threads, options.instruction_set);
  settings.share = options.share;
  settings.shared_products_from = options.shared_products_from;
  const SolveFaces faces = solve_faces(structure, options.permittivity);
  std::unique_ptr<LayeredKernel> kernel;
  double floor = level_floor(settings), fitted = 0.0;
  if (!faces.uniform) {
    LevelTimer timer(1);
    kernel.reset(new LayeredKernel(faces.stack, kernel_tolerance_for(options.accuracy)));
    fitted = kernel_floor(*kernel, faces);
    timer.finish("images fitted");
    floor += fitted;
  }
  LevelSystem system{&faces, kernel.get(), options.masters, {}};
  outcome.rows = options.masters;
  if (outcome.rows.empty()) {
    for (int32_t k = 0; k < conductors; ++k) outcome.rows.push_back(k);
  }
  const std::vector<double> feature = face_features(faces, options.masters, conductors, &system);
  std::vector<int32_t> levels;
  std::vector<std::vector<double>> matrices;
  LevelResult previous;
  bool has_previous = false;
  // The first level of a stack tells how tight the fit must be (kernel_tolerance_for_matrix);
  // where it must be tighter, the kernels are fitted again and level 1 solved again under them,
  // starting from the charges of the first solve, so that every level has the same kernels.
  bool fit_checked = faces.uniform;
  for (int32_t m = 1;; m = next_level(m)) {
    if (options.starting) options.starting(m);
    auto start = std::chrono::steady_clock::now();
    LevelResult result = solve_level(faces.structure, feature, m, settings,
                                     has_previous ? &previous : nullptr, &system);
    double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    if (!result.converged) {
      outcome.end = FineEnd::solve_not_converged;
      outcome.failed_level = m;
      return outcome;
    }
    if (structure.medium.window_grounded)
      close_window_rows(outcome.rows, conductors, structure.medium.window_net, result.capacitance);
    if (!fit_checked) {
      fit_checked = true;
      if (refit_kernels(options, result.capacitance, conductors, faces, fitted, &kernel, &floor)) {
        system.kernel = kernel.get();
        outcome.levels.push_back(report_of(m, result, seconds, -1.0));
        if (options.finished) options.finished(outcome.levels.back());
        previous = std::move(result);
        has_previous = true;
        m = 0;  // next_level(0) is 1
        continue;
      }
    }
    levels.push_back(m);
    matrices.push_back(result.capacitance);
    print_level_rows(structure, m, outcome.rows, result.capacitance);
    outcome.estimate = estimate_convergence(levels, matrices, conductors, floor, options.masters);
    const LevelReport report = report_of(
        m, result, seconds,
        levels.size() < 2 ? -1.0 : largest_relative_change(matrices, conductors, options.masters));
    outcome.levels.push_back(report);
    if (options.finished) options.finished(report);
    if (levels.size() >= 3 && outcome.estimate.largest_relative_error <= options.accuracy) {
      outcome.end = FineEnd::reached;
      return outcome;
    }
    // A level takes memory in proportion to its panels, give or take; a margin of a quarter
    // keeps the next one from running into the limit.
    const int32_t m_next = next_level(m);
    const double growth = expected_panels(m_next, m, 1.0);
    if (options.memory_bytes > 0 && 1.25 * growth * result.bytes > options.memory_bytes) {
      outcome.end = levels.size() >= 3 ? FineEnd::out_of_memory : FineEnd::no_estimate;
      return outcome;
    }
    previous = std::move(result);
    has_previous = true;
  }
}

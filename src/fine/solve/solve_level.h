#pragma once

#include <cstdint>
#include <functional>
#include <vector>

#include "common/instruction_set.h"
#include "fine/media/layered_kernel.h"
#include "fine/mesh/graded_mesh.h"
#include "fine/mesh/solve_faces.h"
#include "structure/panel_file_reader.h"

/// The conductor solves of a level shared among processes that each run some of them: the solves
/// go in groups of `group_width` conductors, and a process runs the groups g with
/// g % parts == part. Each group is solved alike wherever it runs, so the results do not depend
/// on how many processes share them.
struct SolveShare {
  int32_t part = 0;   // this process
  int32_t parts = 1;  // processes sharing the solves
  /// Called by every process once its groups are solved: fills in the columns of the other
  /// processes' groups in `solution` and `product` (per panel and conductor), and adds up
  /// `iterations` and `converged` over all of them. Needed when parts > 1.
  std::function<void(std::vector<double>& solution, std::vector<double>& product,
                     int32_t conductors, int32_t group_width, int64_t& iterations, bool& converged)>
      gather;
};

/// The numerical choices of a level's solve; all of them are ratios, none is a length.
struct LevelSettings {
  int32_t highest_degree = 8;    // highest degree of the far field, of the capacitance's product
  int32_t iteration_degree = 4;  // the same while iterating: the capacitance sees its error squared
  double separation = 0.6;       // clusters are far when (r_a + r_b) < separation · distance
  double near_tolerance = 1e-6;  // the far expansion's bound on each near coefficient in one
                                 // medium, relative to it: the capacitance moves by no more than
                                 // this share of its diagonal entries, a third of level_floor
  int32_t leaf_size = 16;        // panels of a leaf cluster at the most
  double factor_keep = 0.1;      // near entries kept in the preconditioner, relative to the
                                 // geometric mean of their diagonal entries
  int32_t coarse_panels = 0;     // panels per unknown of the deflated coarse space; 0: none
  double inner_reduction = 0.0;  // where the iterations' far field is far from the accurate one:
                                 // each solve under it stops at this reduction of its residual,
                                 // and the corrections under the accurate field repeat it; 0: a
                                 // solve goes to the tolerance at once
  double tolerance = 1e-8;       // residual norm of each solve relative to its right-hand side. The
                            // iterations use cheaper expansions than the capacitance, so a solve
                            // that stops one step earlier moves it by that difference times this;
                            // it must stay below 1e-9 for the same structure in another unit.
  double stationary_tolerance = 1e-4;  // the same for the solves of every conductor, whose
                                       // capacitance is stationary: a residual ρ of b moves it
                                       // only by ρ times the iterations' far-field error plus ρ²
                                       // (3.6e-8 of a diagonal entry on a flip-flop against 1e-8,
                                       // an eightieth of the estimate's floor, level_floor; 1e-3
                                       // moved it by 1.9e-6, too near the floor).
                                       // The same structure in another unit stops at the same
                                       // step, since both compare the same ratio of norms.
  int32_t threads = 1;                 // threads of the assembly and the solves
  int64_t shared_products_from = 2000000;  // near entries from which too few lane groups for
                                           // the threads make their products together
  InstructionSet instruction_set = InstructionSet::sse2;  // path of the solve kernels
  SolveShare share;                                       // this process's part of the solves
};

/// What a level solves for beyond its panels: the medium of its faces and the rows it computes.
struct LevelSystem {
  const SolveFaces* faces = nullptr;      // the faces (conductors' and pieces'), their layers,
                                          // rows and factors
  const LayeredKernel* kernel = nullptr;  // the stack's kernels; null where faces->uniform
  std::vector<int32_t> masters;           // the conductors whose rows are computed, in order;
                                          // empty: every conductor, in order
  MiddleGrading middle;                   // how the faces' middle segments grow
                                          // (middle_grading, graded_cuts): a structure of a
                                          // layer stack; empty: none grow
};

/// How a level's faces' middle segments grow, or null where they do not grow.
inline const MiddleGrading* growing_middle(const LevelSystem* system) {
  return system != nullptr && !system->middle.scale.empty() ? &system->middle : nullptr;
}

/// What one level gives and costs.
struct LevelResult {
  LevelMesh mesh;                   // its panels
  std::vector<double> capacitance;  // a row per master (every conductor without masters), a
                                    // column per conductor, in 10⁻¹² F per unit
  std::vector<double> charge;       // per mesh panel and solve (a master, or every conductor):
                                    // the solution, as a start for the next level
  int64_t near_entries = 0;         // stored near coefficients, the diagonal included
  int64_t far_links = 0;            // far cluster pairs
  int64_t iterations = 0;           // conjugate-gradient steps of all solves
  bool converged = true;            // every solve met its tolerance
  double bytes = 0.0;               // memory its matrices, expansions and vectors took
};

/// Meshes the structure at level m and solves it for every conductor; `previous`, when given,
/// is the level below, whose charges start the solves. With `system`, the structure is
/// system->faces->structure and the level solves in its medium for its masters; a uniform
/// medium for every conductor is the vacuum's system, its matrix times the permittivity.
LevelResult solve_level(const FineStructure& structure, const std::vector<double>& feature,
                        int32_t m, const LevelSettings& settings, const LevelResult* previous,
                        const LevelSystem* system = nullptr);

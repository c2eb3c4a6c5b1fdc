#pragma once

#include <cstdint>
#include <functional>
#include <vector>

#include "common/instruction_set.h"
#include "fine/estimate/convergence.h"
#include "fine/solve/solve_level.h"
#include "structure/panel_file_reader.h"

/// One refinement level as the console reports it.
struct LevelReport {
  int32_t level;          // the refinement parameter m
  int64_t unknowns;       // panels of the level
  int64_t interactions;   // near coefficients and far cluster pairs
  int64_t iterations;     // conjugate-gradient steps of all its solves
  double seconds;         // wall time of the level
  double largest_change;  // largest relative change of a significant entry from the level
                          // before; -1 for the first level
  double bytes;           // memory its matrices, expansions and vectors took, as counted for the
                          // decision to go one level further
};

/// How an extraction ended.
enum class FineEnd : int32_t {
  reached,             // the estimate met the accuracy asked for
  out_of_memory,       // the next level would not fit in memory; the estimate is the best there is
  no_estimate,         // the next level would not fit before three levels gave an estimate
  solve_not_converged  // a solve of the last level did not converge
};

/// The outcome of an extraction.
struct FineResult {
  std::vector<LevelReport> levels;  // every level solved, in order
  ConvergenceEstimate estimate;     // the extrapolated matrix and its error estimate
  FineEnd end = FineEnd::reached;   // why the extraction stopped
  int32_t failed_level = 0;         // the level m whose solve did not converge, if one did not
  std::vector<int32_t> rows;        // the conductor of each row of the matrices, in order
};

/// What an extraction needs besides the structure.
struct FineOptions {
  double accuracy = 0.01;  // relative error allowed in every significant entry
  int32_t threads = 1;     // threads of the assembly and the solves
  InstructionSet instruction_set = InstructionSet::sse2;  // path of the solve kernels
  int64_t memory_bytes = 0;      // memory a level may take at the most; 0: no limit
  double permittivity = 1.0;     // of the uniform medium of a structure without planar layers
  std::vector<int32_t> masters;  // the conductors whose rows are computed; empty: every one
  SolveShare share;  // this process's part of the conductor solves, when processes share them
  int64_t shared_products_from = 2000000;            // as LevelSettings's
  std::function<void(int32_t level)> starting;       // optional: a level begins
  std::function<void(const LevelReport&)> finished;  // optional: a level is done
};

/// Solves the structure on finer and finer levels until the estimated error of every entry of
/// at least 1 % of its row's diagonal is within the accuracy, or the next level would not fit
/// in memory, or a solve does not converge. The rows are those of options.masters, or of every
/// conductor; the structure's planar layers and dielectric pieces are its medium.
FineResult extract_fine(const FineStructure& structure, const FineOptions& options);

/// The settings of a level for an accuracy: the far field and the solves are kept well below
/// it, so that the differences between levels measure the panels alone.
LevelSettings level_settings_for(double accuracy, int32_t threads, InstructionSet set);

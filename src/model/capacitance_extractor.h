#pragma once

// The extractor is declared here, beside the records it holds and below the folders that use
// it: its passes are defined in the folders of their subsystems (geometry/, interaction/,
// capacitance/) and its run sequence in run/; they include this header, and it includes none
// of them.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "common/failure.h"
#include "common/instruction_set.h"
#include "common/progress_display.h"
#include "model/interaction_entry.h"
#include "model/panel_vector.h"

class SparseMatrix;
struct SolveSharing;

/// The object of one extraction: it owns every piece of state of the run, and
/// its passes run once each, in the order of `run`.
class CapacitanceExtractor {
 public:
  CapacitanceExtractor();
  ~CapacitanceExtractor();
  CapacitanceExtractor(const CapacitanceExtractor&) = delete;
  CapacitanceExtractor& operator=(const CapacitanceExtractor&) = delete;

  /// The whole extraction of one panel file, ending in Cap.txt. Fatal
  /// conditions end the process with their message.
  void run(const std::string& file_name);

  // Passes, in the order `run` calls them. Those that return false have met a fatal condition
  // and stopped; `failure` says which, for the program to show.

  /// Reads the panel file into `panels` (input panels 0..N-1 in file order),
  /// counts the conductors and scales `pcg_tolerance` by their number. Fails
  /// when the file cannot be opened (shown on standard error), when a record is
  /// malformed, and when the conductors are not six consecutive records each.
  [[nodiscard]] bool read_panel_file(const std::string& file_name);
  /// Refines every pair of input panels into `interaction_list`.
  [[nodiscard]] bool refine_all_pairs();
  /// Refines one pair of panels of two different input panels' trees. Fails on
  /// a panel of size zero, on coincident centres and where a subdivision fails.
  [[nodiscard]] bool refine_pair(int32_t i, int32_t j);
  /// Lists the leaves and numbers the unknowns (input panels and first children).
  void number_unknowns();
  /// Appends every pair of leaves of one input panel, each leaf with itself too.
  [[nodiscard]] bool add_same_origin_pairs();
  /// Builds `p_matrix` from `interaction_list` in the hierarchical basis.
  void assemble_p_matrix();
  /// One solve per conductor; fills `capacitance_matrix`.
  void compute_capacitance();
  /// Ends the run for conductor k (from 0) whose solve gave up.
  [[noreturn]] void report_failed_solve(int32_t k);

  // Operations the passes share.

  /// Cuts `parent` (a copy of a stored, unsplit panel) into two halves that
  /// are appended as its first and second child. Fails, appending nothing, when
  /// panel positions would pass the signed 32-bit range or the side to halve
  /// has no midpoint between its ends.
  [[nodiscard]] bool subdivide_panel(Panel parent);
  /// Estimated potential coefficient of two panels: 3.53 / sqrt(area) for a
  /// panel with itself, 1 / r between centres otherwise. Coincident centres of
  /// two different panels have none: the result is then 0.0, and `failure` is set.
  double PotentialEstimation(const Panel& a, const Panel& b);

  uint32_t panel_count = 0;        // panels in `panels`; the next append gets this position
  PanelVector panels;              // every panel, input panels first
  std::vector<int32_t> leaf_list;  // positions of the leaf panels, ascending
  uint32_t conductor_count = 0;    // conductors counted by the reader (runs of equal numbers)
  double refinement_ratio = 1.5;   // a pair is accepted when size / distance < this, for both
  double pcg_tolerance = 0.425;    // absolute residual bound of the solves, scaled by the reader
  int32_t unknown_count = 0;       // number of unknowns, the order of the P matrix
  uint32_t input_panel_count = 0;  // panels read from the file
  std::vector<InteractionEntry> interaction_list;  // accepted pairs in acceptance order
  double min_refine_size = 0.5;            // pairs of panels no larger than this are never split
  double drop_tolerance = 0.0;             // fill-in bound of the incomplete factorisation
  std::unique_ptr<SparseMatrix> p_matrix;  // the P matrix, SYMM
  std::unique_ptr<SparseMatrix> factor;    // incomplete factor of p_matrix
  std::unique_ptr<SparseMatrix> capacitance_matrix;  // conductor capacitances, ASYM
  int64_t pcg_iteration_count = 0;  // iterations of all conductor solves, for the timing report
  InstructionSet instruction_set = best_instruction_set();  // path of the solve kernels
  int32_t thread_count = 1;                                 // solve threads of this process
  SolveSharing* solve_sharing = nullptr;  // shares the conductor solves with other processes
  bool result_written = false;            // `run` wrote Cap.txt
  ProgressDisplay progress;               // the running pass on a terminal; `run` names the passes
  Failure failure;  // the fatal condition that stopped a pass; empty while none
};

#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <string>

#include "common/progress_display.h"
#include "common/run_clock.h"
#include "model/capacitance_extractor.h"
#include "run/phase_timer.h"
#include "run/result_file.h"
#include "sparse/incomplete_cholesky.h"
#include "sparse/sparse_matrix.h"

CapacitanceExtractor::CapacitanceExtractor() = default;

CapacitanceExtractor::~CapacitanceExtractor() {
  std::vector<InteractionEntry>().swap(interaction_list);
  std::vector<int32_t>().swap(leaf_list);
  panels.release();
}

namespace {

/// Writes the capacitance matrix to Cap.txt, which appears only once it is complete. The console
/// output of the run does not depend on the outcome, but a result that could not be written is
/// reported on standard error instead of passing silently. Returns whether it was written.
bool write_capacitance_file(const SparseMatrix& capacitance_matrix, ProgressDisplay& progress) {
  ResultFile file(kResultFileName);
  // Shown once the temporary name is claimed, so that an interrupted write never leaves it.
  progress.pass("writing Cap.txt");
  capacitance_matrix.write_dense(file.create());
  const bool written = file.commit();
  progress.clear();
  if (!written) std::cerr << "Error: Could not write Cap.txt." << std::endl;
  return written;
}

/// Shows the failure that a pass handed back, on the stream it names, and ends the run.
[[noreturn]] void end_run(const Failure& failure) {
  erase_progress_line();
  std::ostream& stream = failure.on_standard_error ? std::cerr : std::cout;
  stream << failure.message << std::endl;
  std::exit(1);
}

}  // namespace

void CapacitanceExtractor::run(const std::string& file_name) {
  PhaseTimer timer;
  std::cout << std::endl;
  if (!read_panel_file(file_name)) end_run(failure);
  timer.finish("read");
  // Reading is quick, and its messages need no line to erase.
  progress.pass("refining panel pairs");
  if (!refine_all_pairs()) end_run(failure);
  timer.finish("refine");
  progress.pass("numbering the unknowns");
  number_unknowns();
  timer.finish("number");
  progress.pass("adding pairs within input panels");
  if (!add_same_origin_pairs()) end_run(failure);
  timer.finish("same-origin pairs");
  progress.pass("assembling the P matrix");
  assemble_p_matrix();
  timer.finish("assemble");

  progress.pass("factorising the P matrix");
  int32_t failed_row = -1;
  factor = incomplete_cholesky(*p_matrix, failed_row, drop_tolerance);
  if (!factor) {
    end_run(Failure{"Error: Row " + std::to_string(failed_row) +
                    " of the P matrix has no diagonal entry, so it cannot be factorised."});
  }
  timer.finish("factorise");

  progress.pass("solving the conductors");
  double t1 = elapsed_seconds();
  compute_capacitance();
  double t2 = elapsed_seconds();
  progress.clear();
  timer.finish("capacitance");
  std::cout << "Total Execution Times   = " << t2 - t1 << " Seconds." << std::endl << std::endl;

  // n * n in double: the integer product overflows for large structures.
  double n = unknown_count;
  std::cout << "Sparsity of P Matrix    = " << 100.0 * p_matrix->entry_count / (n * n) << "%"
            << std::endl;

  result_written = write_capacitance_file(*capacitance_matrix, progress);
  timer.finish("write");
  if (timer.enabled()) {
    std::fprintf(stderr, "vornax: panels %u, unknowns %d, P entries %lld, PCG iterations %lld\n",
                 panel_count, unknown_count, static_cast<long long>(p_matrix->entry_count),
                 static_cast<long long>(pcg_iteration_count));
    std::fprintf(stderr, "vornax: solve kernels %s, factor entries %lld, solve threads %d\n",
                 instruction_set_name(instruction_set), static_cast<long long>(factor->entry_count),
                 thread_count);
  }
}

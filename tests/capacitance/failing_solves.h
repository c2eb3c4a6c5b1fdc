#pragma once

// A system whose conductor solves are known without geometry. The factor is the identity. Rows of
// P that belong to a conductor that is to fail are empty: its solve finds p·q = 0 at its first
// step and gives up. Rows of a conductor below the lowest failing one are those of the identity:
// its solve ends after one step with a residual of exactly 0. The unknowns of every conductor
// above it are tied to one end of a chain of `chain_length` further unknowns whose other end is
// held (the matrix of a long line of resistors), and conjugate gradients without a preconditioner
// take about as many steps as the chain is long: minutes for a chain of 200000. No panel file
// gives a P whose solves give up, so the tests of what follows a failed solve start from this.

#include <algorithm>
#include <cstdint>
#include <memory>
#include <vector>

#include "model/capacitance_extractor.h"
#include "sparse/incomplete_cholesky.h"
#include "sparse/sparse_matrix.h"

/// Makes `extractor` ready for compute_capacitance with `conductors` conductors numbered 10, 20,
/// .. in file order, of which those with the indices `failing` (from 0) give up.
inline void set_up_failing_solves(CapacitanceExtractor& extractor, int32_t conductors,
                                  const std::vector<int32_t>& failing, int32_t chain_length = 0) {
  const int32_t lowest_failing = *std::min_element(failing.begin(), failing.end());
  const int32_t chain = 6 * conductors;  // the chain's first unknown
  const int32_t n = chain + chain_length;
  for (int32_t k = 0; k < conductors; ++k) {
    for (int32_t side = 0; side < 6; ++side) {
      Panel panel;
      panel.conductor = 10 * (k + 1);
      extractor.panels.append(panel);
    }
  }
  extractor.panel_count = static_cast<uint32_t>(chain);
  extractor.input_panel_count = extractor.panel_count;
  extractor.conductor_count = static_cast<uint32_t>(conductors);
  extractor.unknown_count = n;
  extractor.pcg_tolerance = 1.0;
  SparseMatrix identity(n, n, SYMM);
  SparseMatrix& P = *(extractor.p_matrix = std::make_unique<SparseMatrix>(n, n, SYMM));
  for (int32_t i = 0; i < n; ++i) identity.accumulate_symmetric(i, i, 1.0, 0);
  for (int32_t i = 0; i < chain; ++i) {
    const int32_t k = i / 6;
    if (std::find(failing.begin(), failing.end(), k) != failing.end()) continue;
    if (k < lowest_failing || chain_length == 0) {
      P.accumulate_symmetric(i, i, 1.0, 0);
      continue;
    }
    // Every row weakly diagonally dominant, the chain's last strictly, in a connected graph: P
    // stays positive definite, and the charge of the conductor flows down the whole chain.
    P.accumulate_symmetric(i, i, 1.0, 0);
    P.accumulate_symmetric(i, chain, -1.0, 0);
    P.accumulate_symmetric(chain, chain, 1.0, 0);
  }
  for (int32_t i = chain; i < n; ++i) {
    P.accumulate_symmetric(i, i, i == chain ? 1.0 : i + 1 < n ? 2.0 : 3.0, 0);
    if (i + 1 < n) P.accumulate_symmetric(i, i + 1, -1.0, 0);
  }
  identity.rebuild_links();
  P.rebuild_links();
  int32_t failed_row = -1;
  extractor.factor = incomplete_cholesky(identity, failed_row, 0.0);
}

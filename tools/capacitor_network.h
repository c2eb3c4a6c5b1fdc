#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <vector>

/// A square matrix held as rows of equal length; row j is conductor j in file
/// order, as in Cap.txt.
using MatrixRows = std::vector<std::vector<double>>;

/// Turns C into S = (C + C^T) / 2 in place, entry by entry, never overflowing. S(j,k) and S(k,j)
/// are the same double.
void symmetrise(MatrixRows& c);

/// Where C is furthest from symmetric, relative to its symmetric part.
struct Asymmetry {
  double ratio = 0.0;   // max over j < k of |C(j,k) - C(k,j)| / |S(j,k)|; infinite where
                        // S(j,k) is 0 but C(j,k) is not; 0 for a symmetric C
  int32_t row = -1;     // j of the pair where the maximum is first reached; -1 if C is symmetric
  int32_t column = -1;  // k of that pair, above row
  double upper = 0.0;   // C(row, column) there
  double lower = 0.0;   // C(column, row) there
};

/// The largest relative change that symmetrising `c` makes to an entry.
Asymmetry largest_asymmetry(const MatrixRows& c);

/// sum_k S(j,k), added in the order of k.
double row_sum(const MatrixRows& s, size_t j);

/// The first row j (from 0) whose sum overflows, -1 when every one is finite.
int32_t first_overflowing_row(const MatrixRows& s);

/// One capacitor of a network that has S as its capacitance matrix.
struct Capacitor {
  int32_t from;     // conductor, from 0
  int32_t to;       // another conductor above `from`, or -1 for ground
  double value;     // in the unit of Cap.txt: -S(from,to), or the row sum of S to ground
  bool impossible;  // no real structure gives it: a positive S(from,to), or a row sum <= 0
  int digits;       // significant digits, 12 to 17, that `value` needs, see visit_capacitors
};

/// The n x n matrix of a Cap.txt that holds only the rows of the master conductors `masters`
/// (positions from 0, one per row of `rows`, each row n long): the other rows, those of the
/// context, mirror the masters' columns, C(k,j) = C(j,k), are 0 between two context
/// conductors, and have the diagonal that makes their row sum 0.
MatrixRows with_context_rows(const MatrixRows& rows, const std::vector<uint32_t>& masters);

/// Which of the capacitors of S a network holds.
struct NetworkChoice {
  double min_fraction = 0.0;  // couplings below this part of the totals are left out; 0: none
  std::vector<bool> context;  // per conductor, whether its row was not computed (see
                              // with_context_rows): it has no capacitor to ground and no known
                              // total; empty when every row was
};

/// True when the coupling S(j,k), j != k, is below `choice.min_fraction` of S(j,j) and of S(k,k)
/// in magnitude, of those that are not context: negligible for each of its conductors.
bool is_negligible(const MatrixRows& s, size_t j, size_t k, const NetworkChoice& choice);

/// The couplings S(j,k), j < k, not zero, that is_negligible leaves out.
size_t negligible_count(const MatrixRows& s, const NetworkChoice& choice);

/// Hands the capacitors of a network with S as its capacitance matrix to `take` one at a time,
/// without holding them all. For each conductor j in order: j to ground with the row sum
/// sum_k S(j,k) of the entries it keeps (none for a context conductor), then j to every later k
/// with -S(j,k) where S(j,k) is not zero and not negligible. A coupling left out lands in the
/// capacitors to ground of its conductors, so S(j,j), the total of each, is kept; with none
/// left out, port j at 1 V and the others grounded put the charge S(k,j) on port k. A simulator
/// adds S(j,j) up from all capacitors at port j; their digits are chosen so that it comes back to
/// 11 significant digits even where they cancel: 12 where all of them are positive, as in every
/// physical matrix.
void visit_capacitors(const MatrixRows& s, const NetworkChoice& choice,
                      const std::function<void(const Capacitor&)>& take);

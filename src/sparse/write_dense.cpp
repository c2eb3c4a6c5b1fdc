// Every position of the matrix as text: one line per row, each value followed by one space, in
// the stream's own number formatting; positions without an entry read as 0.

#include <ostream>

#include "sparse/sparse_matrix.h"

void SparseMatrix::write_dense(std::ostream& stream) const {
  for (int32_t i = 0; i < rows; ++i) {
    for (int32_t j = 0; j < cols; ++j) {
      const MatrixEntry* e = row_heads[i];
      while (e != nullptr && e->col != j) e = e->next_in_row;
      stream << (e != nullptr ? e->value : 0.0) << " ";
    }
    stream << std::endl;
  }
}

#include "sparse/entry_pool.h"

#include <cstdlib>

#include "common/fatal.h"
#include "sparse/sparse_matrix.h"

// The slot starts at the block size, so the first request opens block 0.
EntryPool::EntryPool() : handed_out(0), block_index(-1), slot(256), block_size(256) {}

EntryPool::~EntryPool() {
  for (MatrixEntry* block : blocks) std::free(block);
}

MatrixEntry* EntryPool::allocate_entry() {
  ++slot;
  if (slot >= block_size) {
    blocks.push_back(static_cast<MatrixEntry*>(
        calloc_or_exit(static_cast<std::size_t>(block_size), sizeof(MatrixEntry))));
    ++block_index;
    slot = 0;
  }
  ++handed_out;
  return &blocks[block_index][slot];
}

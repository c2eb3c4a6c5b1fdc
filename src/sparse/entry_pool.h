#pragma once

#include <cstdint>
#include <vector>

struct MatrixEntry;

/// Hands out the entries of one matrix from zero-filled blocks of `block_size` entries. Entries
/// are never returned singly; every block lives until the pool is destroyed.
class EntryPool {
 public:
  EntryPool();
  EntryPool(const EntryPool&) = delete;
  EntryPool& operator=(const EntryPool&) = delete;
  ~EntryPool();

  /// A zero-filled entry. Opening a new block ends the run with "Not enough memory!!\n" when the
  /// storage cannot be had.
  MatrixEntry* allocate_entry();

  int64_t handed_out;  // entries handed out so far, over all blocks
  std::vector<MatrixEntry*>
      blocks;           // every block allocated, in order; each holds block_size entries
  int32_t block_index;  // index of the current block in blocks; -1 before the first
  int32_t slot;         // last slot handed out in the current block; block_size when full
  int32_t block_size;   // entries per block, 256
};

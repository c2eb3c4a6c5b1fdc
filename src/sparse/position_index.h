#pragma once

#include <cstdint>

struct MatrixEntry;

/// Finds the entry linked at a position of a matrix that is being filled, in constant expected
/// time instead of a walk along its row. An open-addressing hash table keyed by (row, col), with
/// linear probing; it holds, for every position, the entry that a walk of the row list would meet
/// first there.
class PositionIndex {
 public:
  PositionIndex();
  PositionIndex(const PositionIndex&) = delete;
  PositionIndex& operator=(const PositionIndex&) = delete;
  ~PositionIndex();

  /// The entry at (row, col), or null.
  MatrixEntry* find(int32_t row, int32_t col) const;
  /// Makes `entry` the one found at its position, in place of any other.
  void insert(MatrixEntry* entry);
  /// Forgets the position (row, col).
  void erase(int32_t row, int32_t col);

 private:
  uint64_t slot_of(uint64_t key) const;
  void grow();

  uint64_t* keys_;         // capacity_ keys (row << 32 | col), kEmpty where unused
  MatrixEntry** entries_;  // the entry of each used key
  uint64_t capacity_;      // number of slots, a power of two
  int capacity_bits_;      // log2 of capacity_
  uint64_t count_;         // used slots, at most 7/10 of capacity_
};

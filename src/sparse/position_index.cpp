#include "sparse/position_index.h"

#include <cstddef>
#include <cstdlib>

#include "common/fatal.h"
#include "sparse/sparse_matrix.h"

namespace {

constexpr uint64_t kEmpty = ~uint64_t{0};  // (-1, -1): no entry lives there
constexpr int kInitialCapacityBits = 10;
constexpr uint64_t kInitialCapacity = uint64_t{1} << kInitialCapacityBits;

uint64_t key_of(int32_t row, int32_t col) {
  return (uint64_t{static_cast<uint32_t>(row)} << 32) | static_cast<uint32_t>(col);
}

uint64_t* allocate_keys(uint64_t capacity) {
  auto* keys = static_cast<uint64_t*>(calloc_or_exit(capacity, sizeof(uint64_t)));
  for (uint64_t k = 0; k < capacity; ++k) keys[k] = kEmpty;
  return keys;
}

}  // namespace

PositionIndex::PositionIndex()
    : keys_(allocate_keys(kInitialCapacity)),
      entries_(static_cast<MatrixEntry**>(calloc_or_exit(kInitialCapacity, sizeof(MatrixEntry*)))),
      capacity_(kInitialCapacity),
      capacity_bits_(kInitialCapacityBits),
      count_(0) {}

PositionIndex::~PositionIndex() {
  std::free(keys_);
  std::free(entries_);
}

// Fibonacci hashing: the top bits of key · 2^64/φ spread neighbouring positions apart.
uint64_t PositionIndex::slot_of(uint64_t key) const {
  return (key * 0x9E3779B97F4A7C15ULL) >> (64 - capacity_bits_);
}

MatrixEntry* PositionIndex::find(int32_t row, int32_t col) const {
  const uint64_t key = key_of(row, col);
  for (uint64_t s = slot_of(key);; s = (s + 1) & (capacity_ - 1)) {
    if (keys_[s] == key) return entries_[s];
    if (keys_[s] == kEmpty) return nullptr;
  }
}

void PositionIndex::insert(MatrixEntry* entry) {
  if (10 * (count_ + 1) > 7 * capacity_) grow();
  const uint64_t key = key_of(entry->row, entry->col);
  uint64_t s = slot_of(key);
  while (keys_[s] != kEmpty && keys_[s] != key) s = (s + 1) & (capacity_ - 1);
  if (keys_[s] == kEmpty) ++count_;
  keys_[s] = key;
  entries_[s] = entry;
}

// Backward-shift deletion: later keys of the probe run move up into the gap, so that no lookup
// stops early at it.
void PositionIndex::erase(int32_t row, int32_t col) {
  const uint64_t key = key_of(row, col);
  uint64_t gap = slot_of(key);
  while (keys_[gap] != key) {
    if (keys_[gap] == kEmpty) return;
    gap = (gap + 1) & (capacity_ - 1);
  }
  for (uint64_t s = (gap + 1) & (capacity_ - 1); keys_[s] != kEmpty;
       s = (s + 1) & (capacity_ - 1)) {
    const uint64_t home = slot_of(keys_[s]);
    // The key at s may fill the gap when its home does not lie cyclically in (gap, s].
    const bool home_after_gap = gap <= s ? (gap < home && home <= s) : (gap < home || home <= s);
    if (home_after_gap) continue;
    keys_[gap] = keys_[s];
    entries_[gap] = entries_[s];
    gap = s;
  }
  keys_[gap] = kEmpty;
  entries_[gap] = nullptr;
  --count_;
}

void PositionIndex::grow() {
  uint64_t* old_keys = keys_;
  MatrixEntry** old_entries = entries_;
  const uint64_t old_capacity = capacity_;
  capacity_ = 2 * old_capacity;
  capacity_bits_ += 1;
  keys_ = allocate_keys(capacity_);
  entries_ = static_cast<MatrixEntry**>(calloc_or_exit(capacity_, sizeof(MatrixEntry*)));
  for (uint64_t k = 0; k < old_capacity; ++k) {
    if (old_keys[k] == kEmpty) continue;
    uint64_t s = slot_of(old_keys[k]);
    while (keys_[s] != kEmpty) s = (s + 1) & (capacity_ - 1);
    keys_[s] = old_keys[k];
    entries_[s] = old_entries[k];
  }
  std::free(old_keys);
  std::free(old_entries);
}

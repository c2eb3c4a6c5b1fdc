#pragma once

#include <cstdint>
#include <vector>

/// The memory the elements of `v` take: its capacity, as its allocation has it.
template <typename T, typename Allocator>
int64_t vector_bytes(const std::vector<T, Allocator>& v) {
  return static_cast<int64_t>(v.capacity() * sizeof(T));
}

/// The sum of vector_bytes over several vectors.
template <typename... Vectors>
int64_t vectors_bytes(const Vectors&... vectors) {
  return (vector_bytes(vectors) + ... + 0);
}

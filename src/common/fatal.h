#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>

/// Writes `message` and a newline on standard output ("%s\n") and ends the
/// process with exit status 1. Messages that already end in a newline thus
/// show an empty line after them.
[[noreturn]] void fail_and_exit(const char* message);

/// Zero-filled storage for `count` elements of `size` bytes; ends the run with
/// "Not enough memory!!\n" when the storage cannot be had. Release with free().
void* calloc_or_exit(std::size_t count, std::size_t size);

/// `count` zeroed values of T, by calloc_or_exit. Release with free().
template <typename T>
T* allocate_zeroed(int64_t count) {
  return static_cast<T*>(calloc_or_exit(static_cast<std::size_t>(count), sizeof(T)));
}

/// Makes every failed `new` (vectors, strings) end the run the way
/// calloc_or_exit does, instead of throwing std::bad_alloc, but with the
/// message on `stream`: standard output for vornax, standard error for a
/// program whose standard output is its result. A companion program gives a `line` of its
/// own, written with a newline (a string literal: it must outlive the process's allocations);
/// null gives calloc_or_exit's message.
void install_out_of_memory_handler(std::FILE* stream, const char* line = nullptr);

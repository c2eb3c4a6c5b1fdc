// The allocation functions of vornax-fine: every allocation of 4 MiB or more asks for huge
// pages before it is first written.
//
// A level's large arrays (its near coefficients, its factor, its far pairs, the work of its
// solves) are allocated afresh at every level, most of them by the thread that builds the level
// while the other waits. A fresh allocation of that size is new memory from the operating
// system, and its first write takes one fault per 4 KiB page: on a virtual machine some ten
// microseconds each, which on a flip-flop added up to a tenth of the run. With huge pages the
// same memory takes one fault per 2 MiB. The memory itself still comes from malloc, so nothing
// else changes: the bits, the peak, what the sanitizers see.

#include <cstdlib>
#include <new>

#include "common/huge_pages.h"

namespace {

constexpr std::size_t kLargeAllocation = std::size_t{4} << 20;

void* allocate(std::size_t bytes) {
  void* memory = std::malloc(bytes == 0 ? 1 : bytes);
  if (memory == nullptr) throw std::bad_alloc();
  if (bytes >= kLargeAllocation) advise_huge_pages(memory, bytes);
  return memory;
}

}  // namespace

void* operator new(std::size_t bytes) { return allocate(bytes); }
void* operator new[](std::size_t bytes) { return allocate(bytes); }
void operator delete(void* memory) noexcept { std::free(memory); }
void operator delete[](void* memory) noexcept { std::free(memory); }
void operator delete(void* memory, std::size_t) noexcept { std::free(memory); }
void operator delete[](void* memory, std::size_t) noexcept { std::free(memory); }

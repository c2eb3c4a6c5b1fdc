// The allocation functions of vornax-fine: every allocation of 4 MiB or more asks for huge
// pages before it is first written.
//
// A level's large arrays (its near coefficients, its factor, its far pairs, the work of its
// solves) are allocated afresh at every level, most of them by the thread that builds the level
// while the other waits. A fresh allocation of that size is new memory from the operating
// system, and its first write takes one fault per 4 KiB page: on a virtual machine some ten
// microseconds each, which on a flip-flop added up to a tenth of the run. With huge pages the
// same memory takes one fault per 2 MiB. The memory itself still comes from malloc, so the bits
// and the peak do not change.

#include <cstdlib>
#include <new>

#include "common/huge_pages.h"

// Under a sanitizer the library's own operators stay: the sanitizer checks that what new
// allocated, delete frees, which it cannot where both are malloc and free.
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
#define KEEP_LIBRARY_OPERATORS
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer)
#define KEEP_LIBRARY_OPERATORS
#endif
#endif
#if !defined(KEEP_LIBRARY_OPERATORS)

namespace {

constexpr std::size_t kLargeAllocation = std::size_t{4} << 20;

void* allocate_or_null(std::size_t bytes) noexcept {
  void* memory = std::malloc(bytes == 0 ? 1 : bytes);
  if (memory != nullptr && bytes >= kLargeAllocation) advise_huge_pages(memory, bytes);
  return memory;
}

void* allocate(std::size_t bytes) {
  void* memory = allocate_or_null(bytes);
  if (memory == nullptr) throw std::bad_alloc();
  return memory;
}

}  // namespace

// Every form that pairs with the plain delete, so that all of them allocate with malloc.
void* operator new(std::size_t bytes) { return allocate(bytes); }
void* operator new[](std::size_t bytes) { return allocate(bytes); }
void* operator new(std::size_t bytes, const std::nothrow_t&) noexcept {
  return allocate_or_null(bytes);
}
void* operator new[](std::size_t bytes, const std::nothrow_t&) noexcept {
  return allocate_or_null(bytes);
}
void operator delete(void* memory) noexcept { std::free(memory); }
void operator delete[](void* memory) noexcept { std::free(memory); }
void operator delete(void* memory, std::size_t) noexcept { std::free(memory); }
void operator delete[](void* memory, std::size_t) noexcept { std::free(memory); }
void operator delete(void* memory, const std::nothrow_t&) noexcept { std::free(memory); }
void operator delete[](void* memory, const std::nothrow_t&) noexcept { std::free(memory); }

#endif

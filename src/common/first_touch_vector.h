#pragma once

#include <cstddef>
#include <memory>
#include <new>
#include <utility>
#include <vector>

#include "common/huge_pages.h"

/// An allocator whose elements are default-initialised where std::allocator value-initialises
/// them: a resize of numbers leaves them unwritten. For the large arrays a level fills on all
/// its threads, so that each page is first written, and cleared by the operating system, by the
/// thread that fills it, instead of every page by one thread's zeros beforehand.
template <class T>
struct FirstTouchAllocator : std::allocator<T> {
  using value_type = T;
  template <class U>
  struct rebind {
    using other = FirstTouchAllocator<U>;
  };
  FirstTouchAllocator() = default;
  template <class U>
  FirstTouchAllocator(const FirstTouchAllocator<U>&) noexcept {}
  template <class U>
  void construct(U* at) noexcept {
    ::new (static_cast<void*>(at)) U;
  }
  template <class U, class... Args>
  void construct(U* at, Args&&... args) {
    ::new (static_cast<void*>(at)) U(std::forward<Args>(args)...);
  }
};

template <class T>
using FirstTouchVector = std::vector<T, FirstTouchAllocator<T>>;

/// v resized to `count` elements, those beyond its old size left unwritten, and new room
/// advised for huge pages before anything is written to it.
template <class T>
void resize_first_touch(FirstTouchVector<T>& v, size_t count) {
  if (count > v.capacity()) {
    FirstTouchVector<T>().swap(v);
    v.reserve(count);
    advise_huge_pages(v.data(), count * sizeof(T));
  }
  v.resize(count);
}

#pragma once

#include <cstddef>
#include <vector>

/// Asks the operating system to back the whole 2 MiB pages inside [start, start + bytes) with
/// huge pages, where it offers them on request (Linux's transparent huge pages in "madvise"
/// mode, the common default). Call it before the memory is first written: a large work array
/// then costs one fault per 2 MiB instead of one per 4 KiB, which on a virtual machine is a
/// good part of a first pass over it. Only a request: nothing changes where it is not granted.
void advise_huge_pages(void* start, size_t bytes);

/// new T[count], advised as above; the elements are left uninitialised as new T[count] leaves
/// them.
template <class T>
T* new_advised_array(size_t count) {
  T* array = new T[count];
  advise_huge_pages(array, count * sizeof(T));
  return array;
}

/// v.assign(count, value) with the new room advised as above before it is written: for the
/// large arrays a level fills once (its near coefficients, its far pairs' tensors).
template <class T>
void assign_advised(std::vector<T>& v, size_t count, const T& value) {
  if (count > v.capacity()) {
    std::vector<T>().swap(v);
    v.reserve(count);
    advise_huge_pages(v.data(), count * sizeof(T));
  }
  v.assign(count, value);
}

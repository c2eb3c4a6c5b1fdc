#include "common/fatal.h"

#include <cstdio>
#include <cstdlib>
#include <new>

#include "common/progress_display.h"

namespace {

const char kOutOfMemory[] = "Not enough memory!!\n";

void out_of_memory() { fail_and_exit(kOutOfMemory); }

}  // namespace

void fail_and_exit(const char* message) {
  erase_progress_line();
  std::printf("%s\n", message);
  std::fflush(stdout);
  std::exit(1);
}

void* calloc_or_exit(std::size_t count, std::size_t size) {
  void* storage = std::calloc(count, size);
  // calloc(0, ...) may legitimately return null; hand out one byte instead so
  // that an empty array is still a valid, releasable pointer.
  if (storage == nullptr && (count == 0 || size == 0)) storage = std::calloc(1, 1);
  if (storage == nullptr) fail_and_exit(kOutOfMemory);
  return storage;
}

void install_out_of_memory_handler() { std::set_new_handler(out_of_memory); }

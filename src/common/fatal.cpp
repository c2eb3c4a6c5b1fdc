#include "common/fatal.h"

#include <cstdlib>
#include <new>

#include "common/progress_display.h"

namespace {

const char kOutOfMemory[] = "Not enough memory!!\n";

std::FILE* out_of_memory_stream = nullptr;  // where a failed `new` is reported, once installed
const char* out_of_memory_line = nullptr;   // what it says, with "%s\n"

[[noreturn]] void write_and_exit(std::FILE* stream, const char* message) {
  erase_progress_line();
  std::fprintf(stream, "%s\n", message);
  std::fflush(stream);
  std::exit(1);
}

void out_of_memory() { write_and_exit(out_of_memory_stream, out_of_memory_line); }

}  // namespace

void fail_and_exit(const char* message) { write_and_exit(stdout, message); }

void* calloc_or_exit(std::size_t count, std::size_t size) {
  void* storage = std::calloc(count, size);
  // calloc(0, ...) may legitimately return null; hand out one byte instead so
  // that an empty array is still a valid, releasable pointer.
  if (storage == nullptr && (count == 0 || size == 0)) storage = std::calloc(1, 1);
  if (storage == nullptr) fail_and_exit(kOutOfMemory);
  return storage;
}

void install_out_of_memory_handler(std::FILE* stream, const char* line) {
  out_of_memory_stream = stream;
  out_of_memory_line = line != nullptr ? line : kOutOfMemory;
  std::set_new_handler(out_of_memory);
}

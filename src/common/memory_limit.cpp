#include "common/memory_limit.h"

#include <sys/resource.h>
#include <unistd.h>

// The sanitizers reserve terabytes of address space for their shadow memory up front; under a
// limit of the size of the machine's memory every later allocation would fail.
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
#define VORNAX_SANITIZED_ADDRESS_SPACE 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer) || \
    __has_feature(memory_sanitizer)
#define VORNAX_SANITIZED_ADDRESS_SPACE 1
#endif
#endif

uint64_t lowered_address_space_limit(uint64_t current_soft_limit, uint64_t physical_bytes) {
  if (physical_bytes == 0 || current_soft_limit <= physical_bytes) return current_soft_limit;
  return physical_bytes;
}

void limit_address_space_to_physical_memory(int32_t sharing_processes) {
#ifndef VORNAX_SANITIZED_ADDRESS_SPACE
  uint64_t physical = physical_memory_bytes();
  if (physical == 0) return;
  if (sharing_processes > 1) physical /= static_cast<uint64_t>(sharing_processes);
  struct rlimit limit;
  if (getrlimit(RLIMIT_AS, &limit) != 0) return;
  uint64_t lowered = lowered_address_space_limit(limit.rlim_cur, physical);
  if (lowered == limit.rlim_cur) return;
  limit.rlim_cur = static_cast<rlim_t>(lowered);
  // A limit that cannot be set leaves the run as it was, without one.
  setrlimit(RLIMIT_AS, &limit);
#else
  (void)sharing_processes;
#endif
}

uint64_t physical_memory_bytes() {
  long pages = sysconf(_SC_PHYS_PAGES);
  long page_size = sysconf(_SC_PAGESIZE);
  if (pages <= 0 || page_size <= 0) return 0;
  return static_cast<uint64_t>(pages) * static_cast<uint64_t>(page_size);
}

uint64_t usable_memory_bytes() {
  uint64_t usable = physical_memory_bytes();
  struct rlimit limit;
  if (getrlimit(RLIMIT_AS, &limit) == 0 && limit.rlim_cur != RLIM_INFINITY) {
    const uint64_t soft = static_cast<uint64_t>(limit.rlim_cur);
    if (usable == 0 || soft < usable) usable = soft;
  }
  return usable;
}

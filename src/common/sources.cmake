set(VORNAX_COMMON_SOURCES
  src/common/fatal.cpp
  src/common/run_clock.cpp
  src/common/memory_limit.cpp
  src/common/progress_display.cpp
  src/common/cpu_count.cpp
  src/common/thread_count.cpp
)

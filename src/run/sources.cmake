target_sources(vornax_core PRIVATE
  src/run/fatal.cpp
  src/run/run_clock.cpp
  src/run/memory_limit.cpp
  src/run/capacitance_extractor.cpp
  src/run/phase_timer.cpp
  src/run/instruction_set_choice.cpp
  src/run/progress_display.cpp
  src/run/result_file.cpp
  src/run/termination_cleanup.cpp
)

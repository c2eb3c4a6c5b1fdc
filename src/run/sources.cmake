set(VORNAX_RUN_SOURCES
  src/run/run_sequence.cpp
  src/run/phase_timer.cpp
  src/run/instruction_set_choice.cpp
  src/run/result_file.cpp
  src/run/termination_cleanup.cpp
  src/run/run_start.cpp
)

target_sources(vornax_core PRIVATE
  src/interaction/potential_estimation.cpp
  src/interaction/pair_refinement.cpp
  src/interaction/numbering.cpp
)

set(VORNAX_INTERACTION_SOURCES
  src/interaction/potential_estimation.cpp
  src/interaction/pair_refinement.cpp
  src/interaction/numbering.cpp
)

target_sources(vornax_core PRIVATE
  src/geometry/panel.cpp
  src/geometry/panel_reader.cpp
  src/geometry/subdivision.cpp
)

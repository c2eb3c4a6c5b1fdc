set(VORNAX_GEOMETRY_SOURCES
  src/geometry/panel.cpp
  src/geometry/panel_reader.cpp
  src/geometry/subdivision.cpp
)

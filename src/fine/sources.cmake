set(VORNAX_FINE_SOURCES
  src/fine/rect_from_corners.cpp
  src/fine/panel_contacts.cpp
  src/fine/structure_reader.cpp
)

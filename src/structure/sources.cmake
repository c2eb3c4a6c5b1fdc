# The structures that vornax-fine and the companion programs read: conductors as rectangles
# parallel to the coordinate planes, from panel files; lengths exact in femtometres and the
# surface of a union of boxes, which vornax-layout builds its conductors from. Builds on common/
# and geometry/ (whose messages a panel file shares with vornax).
set(VORNAX_STRUCTURE_SOURCES
  src/structure/rect_from_corners.cpp
  src/structure/panel_contacts.cpp
  src/structure/panel_file_reader.cpp
  src/structure/panel_file_header.cpp
  src/structure/exact_length.cpp
  src/structure/union_surface.cpp
)

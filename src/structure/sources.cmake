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
  src/structure/box_index.cpp
  src/structure/painted_cover.cpp
  src/structure/plane_groups.cpp
  src/structure/union_cavities.cpp
  src/structure/union_surface.cpp
  src/structure/cap3d_lines.cpp
  src/structure/cap3d_sections.cpp
  src/structure/cap3d_reader.cpp
  src/structure/cap3d_nets.cpp
  src/structure/outside_paint.cpp
  src/structure/dielectric_pieces.cpp
  src/structure/window_walls.cpp
  src/structure/net_surfaces.cpp
  src/structure/cap3d_structure.cpp
  src/structure/structure_file.cpp
)

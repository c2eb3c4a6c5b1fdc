#include "structure/cap3d_structure.h"

#include <algorithm>

#include "common/message_text.h"
#include "structure/cap3d_lines.h"
#include "structure/cap3d_nets.h"
#include "structure/exact_medium.h"
#include "structure/net_surfaces.h"
#include "structure/window_walls.h"

namespace {

const char kWindowNet[] = "window";  // the grounded window's net where the file has no GROUND

double micrometres(Femtometres length) { return static_cast<double>(length) / 1e9; }

AxisRect axis_rect(const SurfaceRect& r) {
  AxisRect rect;
  rect.axis = r.axis;
  rect.plane = micrometres(r.level);
  for (int32_t k = 0; k < 2; ++k) {
    rect.lo[k] = micrometres(r.lo[k]);
    rect.hi[k] = micrometres(r.hi[k]);
  }
  return rect;
}

SpaceBox space_box_of(const SolidBox& box) {
  SpaceBox space;
  for (int32_t a = 0; a < 3; ++a) {
    space.lo[a] = micrometres(box.lo[a]);
    space.hi[a] = micrometres(box.hi[a]);
  }
  return space;
}

/// The planar layers: their boundaries must go up from the window's bottom. The highest
/// layer's z_top is kept for the record only: that layer reaches upward without end.
std::string exact_layers(const Cap3dFile& file, const std::string& file_name, ExactMedium& medium,
                         std::vector<PlanarLayer>& layers) {
  Femtometres below = file.window.lo[2];
  for (size_t k = 0; k < file.plates.size(); ++k) {
    const Cap3dPlate& plate = file.plates[k];
    if (plate.z_top <= below) {
      return cap3d_error(
          file_name, plate.line,
          "the plate_medium's z_top " + format_micrometres(plate.z_top) + " is not above " +
              (k == 0
                   ? "the window's bottom " + format_micrometres(below)
                   : "the z_top " + format_micrometres(below) + " of the one before it, on line " +
                         std::to_string(file.plates[k - 1].line)));
    }
    below = plate.z_top;
    if (k + 1 < file.plates.size()) medium.boundaries.push_back(plate.z_top);
    medium.layer_permittivity.push_back(plate.permittivity);
    layers.push_back(PlanarLayer{plate.name, micrometres(plate.z_top), plate.permittivity});
  }
  if (file.plates.empty()) medium.layer_permittivity.push_back(1.0);  // vacuum
  return "";
}

/// The dielectric blocks in file order, cut to the window when its faces are grounded.
void exact_blocks(const Cap3dFile& file, bool grounded, ExactMedium& medium,
                  std::vector<DielectricBlock>& as_read) {
  for (const Cap3dMedium& section : file.media) {
    for (const Cap3dBlock& block : section.blocks) {
      as_read.push_back(DielectricBlock{space_box_of(block.box), section.permittivity, block.line});
      SolidBox box = block.box;
      bool kept = true;
      for (int32_t a = 0; a < 3 && grounded; ++a) {
        box.lo[a] = std::max(box.lo[a], file.window.lo[a]);
        box.hi[a] = std::min(box.hi[a], file.window.hi[a]);
        kept = kept && box.lo[a] < box.hi[a];
      }
      if (!kept) continue;
      medium.blocks.push_back(box);
      medium.block_permittivity.push_back(section.permittivity);
    }
  }
}

/// With grounded window faces: every conductor block inside the window, and the net that the
/// walls join (GROUND, else a new one named "window", added to nets.names).
std::string grounded_net(const SolidBox& window, const std::string& file_name, Cap3dNets& nets,
                         uint32_t& net) {
  for (size_t k = 0; k < nets.boxes.size(); ++k) {
    for (int32_t a = 0; a < 3; ++a) {
      if (nets.boxes[k].lo[a] < window.lo[a] || nets.boxes[k].hi[a] > window.hi[a]) {
        return cap3d_error(file_name, nets.line_of_box[k],
                           "a block of net '" + printable(nets.names[nets.net_of_box[k]]) +
                               "' reaches outside the window, whose sides and top are grounded "
                               "(--window ground)");
      }
    }
  }
  auto named = [&nets](const std::string& name) {
    return static_cast<uint32_t>(std::find(nets.names.begin(), nets.names.end(), name) -
                                 nets.names.begin());
  };
  net = named("GROUND");
  if (net < nets.names.size()) return "";
  net = named(kWindowNet);
  if (net < nets.names.size()) {
    const size_t first =
        std::find(nets.net_of_box.begin(), nets.net_of_box.end(), net) - nets.net_of_box.begin();
    return cap3d_error(file_name, nets.line_of_box[first],
                       "a net is named 'window', the name of the grounded window's net where "
                       "there is no net GROUND (--window ground)");
  }
  nets.names.push_back(kWindowNet);
  return "";
}

/// Appends the panels of every net, its faces cut by what lies outside them.
std::string add_panels(const std::vector<std::vector<SurfaceRect>>& surfaces,
                       const ExactMedium& medium, const Cap3dNets& nets,
                       const std::string& file_name, uint32_t window_line, FineStructure& out) {
  std::vector<OutsidePiece> pieces;
  for (uint32_t n = 0; n < surfaces.size(); ++n) {
    pieces.clear();
    for (const SurfaceRect& face : surfaces[n]) paint_outside(medium, face, pieces);
    if (pieces.empty()) {
      const size_t first =
          std::find(nets.net_of_box.begin(), nets.net_of_box.end(), n) - nets.net_of_box.begin();
      // The window's net has no block of its own.
      const uint32_t line = first < nets.boxes.size() ? nets.line_of_box[first] : window_line;
      return cap3d_error(
          file_name, line,
          "net '" + printable(nets.names[n]) + "' has no face left outside the other conductors");
    }
    out.conductors.push_back(FineConductor{nets.names[n], static_cast<uint32_t>(out.panels.size()),
                                           static_cast<uint32_t>(pieces.size())});
    for (const OutsidePiece& piece : pieces) {
      out.panels.push_back(axis_rect(piece.rect));
      out.conductor_of_panel.push_back(n);
      out.panel_sides.push_back(
          PanelSide{piece.rect.outward, piece.permittivity, piece.background});
    }
  }
  return "";
}

}  // namespace

std::string build_cap3d_structure(const Cap3dFile& file, const std::string& file_name,
                                  WindowFaces faces, FineStructure& out) {
  out = FineStructure();
  const bool grounded = faces == WindowFaces::kGrounded;
  Cap3dNets nets;
  std::string error = gather_nets(file, file_name, nets);
  if (error.empty()) error = task_nets(file, file_name, nets, out.master_nets);
  uint32_t wall_net = 0;
  if (error.empty() && grounded) error = grounded_net(file.window, file_name, nets, wall_net);
  ExactMedium medium;
  if (error.empty()) error = exact_layers(file, file_name, medium, out.medium.layers);
  if (!error.empty()) return error;
  exact_blocks(file, grounded, medium, out.medium.blocks);

  const uint32_t net_count = static_cast<uint32_t>(nets.names.size());
  std::vector<std::vector<SurfaceRect>> surfaces;
  medium.conductors = nets.boxes;
  net_surfaces(nets.boxes, nets.net_of_box, net_count, surfaces, medium.conductors);
  if (grounded) window_walls(file.window, medium.conductors, surfaces[wall_net]);
  medium.block_index = BoxIndex(medium.blocks);
  medium.conductor_index = BoxIndex(medium.conductors);
  error = add_panels(surfaces, medium, nets, file_name, file.window_line, out);
  if (!error.empty()) return error;

  std::vector<ExactPiece> pieces;
  dielectric_pieces(medium, pieces);
  for (const ExactPiece& p : pieces) {
    out.medium.pieces.push_back(DielectricPiece{axis_rect(p.rect), p.real_below, p.real_above,
                                                p.background_below, p.background_above});
  }
  out.medium.has_window = true;
  out.medium.window = space_box_of(file.window);
  out.medium.window_grounded = grounded;
  out.medium.window_net = wall_net;
  out.length_unit = "um";
  return "";
}

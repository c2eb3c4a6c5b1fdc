// Conductors in dielectrics: the outsides of the conductor panels and the dielectric pieces of
// random small structures against sampling the medium at the middle of every unit square of the
// grid, on either side; and the grounded window's walls.
#include <gtest/gtest.h>

#include <cmath>
#include <map>
#include <random>
#include <tuple>
#include <vector>

#include "structure/box_index.h"
#include "structure/cap3d_structure.h"

namespace {

const Femtometres kUnit = 100000000;  // a grid step, 0.1 micrometres
const int kLow = -2, kHigh = 10;      // the grid sampled; the window is [0, 8]^3

/// A unit square of a plane: axis, level, and its lower corner along the other two axes.
using Square = std::tuple<int, int, int, int>;

Cap3dBlock grid_block(const int lo[3], const int hi[3]) {
  Cap3dBlock block{SolidBox{}, 1, "", ""};
  for (int a = 0; a < 3; ++a) block.box.lo[a] = lo[a] * kUnit, block.box.hi[a] = hi[a] * kUnit;
  return block;
}

Cap3dBlock random_block(std::mt19937& random, int from, int to) {
  int lo[3], hi[3];
  for (int a = 0; a < 3; ++a) {
    lo[a] = from + random() % (to - from);
    hi[a] = lo[a] + 1 + random() % (to - lo[a]);
  }
  return grid_block(lo, hi);
}

/// Up to three layers' boundaries, up to five dielectric blocks reaching past the window, up to
/// three nets of one or two blocks inside it.
void random_case(std::mt19937& random, Cap3dFile& file) {
  const double kLayer[4] = {1, 2, 3.9, 7}, kBlock[4] = {2, 3.9, 7, 11.8};
  file = Cap3dFile();
  const int zero[3] = {0, 0, 0}, eight[3] = {8, 8, 8};
  file.window = grid_block(zero, eight).box;
  file.window_line = 1;
  for (int z = 1; z <= 8; ++z) {
    if (z < 8 && random() % 3 != 0) continue;
    file.plates.push_back(Cap3dPlate{"", 2, kLayer[random() % 4], z * kUnit});
  }
  for (int k = random() % 6; k > 0; --k) {
    file.media.push_back(
        Cap3dMedium{"", 3, kBlock[random() % 4], {random_block(random, kLow, kHigh)}});
  }
  const int nets = 1 + random() % 3;
  for (int k = random() % 3 + nets; k > 0; --k) {
    const int net = k <= nets ? nets - k : random() % nets;  // each net at least once
    const std::string name = (net == 0 && random() % 2 ? "GROUND" : "n" + std::to_string(net));
    file.conductors.push_back(
        Cap3dConductor{random() % 2 ? "7__" + name : name, 4, {random_block(random, 0, 8)}});
  }
}

/// What sampling says about the point p (grid units, at half steps).
struct Sampled {
  const Cap3dFile& file;
  const FineStructure& structure;
  bool grounded;

  /// The net whose block holds p, the wall's net beside or above a grounded window, else -1.
  int conductor_at(const double p[3]) const {
    for (const Cap3dConductor& c : file.conductors) {
      const SolidBox& b = c.blocks[0].box;
      bool in = true;
      for (int a = 0; a < 3; ++a) in = in && b.lo[a] < p[a] * kUnit && p[a] * kUnit < b.hi[a];
      if (in) return net_named(c.name);
    }
    // The walls rise from the window's bottom: its sides, and above its top.
    bool outside = p[2] > 8;
    for (int a = 0; a < 2; ++a) outside = outside || p[a] < 0 || p[a] > 8;
    outside = outside && p[2] > 0;
    if (!grounded || !outside) return -1;
    const int ground = net_named("GROUND");
    return ground >= 0 ? ground : static_cast<int>(structure.conductors.size()) - 1;
  }
  int net_named(const std::string& name) const {
    const std::string net = name.compare(0, 3, "7__") == 0 ? name.substr(3) : name;
    for (size_t n = 0; n < structure.conductors.size(); ++n)
      if (structure.conductors[n].label == net) return static_cast<int>(n);
    return -1;
  }
  double layer_at(double z) const {
    for (const Cap3dPlate& plate : file.plates)
      if (z * kUnit < plate.z_top) return plate.permittivity;
    return file.plates.back().permittivity;
  }
  /// The last block that holds p (cut to the window when it is grounded), else the layer.
  double medium_at(const double p[3]) const {
    double found = layer_at(p[2]);
    for (const Cap3dMedium& m : file.media) {
      const SolidBox& b = m.blocks[0].box;
      bool in = true;
      for (int a = 0; a < 3; ++a) {
        in = in && b.lo[a] < p[a] * kUnit && p[a] * kUnit < b.hi[a];
        if (grounded) in = in && p[a] > 0 && p[a] < 8;
      }
      if (in) found = m.permittivity;
    }
    return found;
  }
};

int grid(double micrometres) { return static_cast<int>(std::lround(micrometres * 10)); }

/// Every unit square a rectangle covers, with `value`, failing on a square covered twice.
template <typename Value>
void cover_squares(const AxisRect& r, const Value& value, std::map<Square, Value>& squares) {
  for (int i = grid(r.lo[0]); i < grid(r.hi[0]); ++i)
    for (int j = grid(r.lo[1]); j < grid(r.hi[1]); ++j)
      EXPECT_TRUE(squares.emplace(Square{r.axis, grid(r.plane), i, j}, value).second);
}

/// Whether a rectangle across x or y lies in one layer.
bool in_one_layer(const Cap3dFile& file, const AxisRect& r) {
  const int z = r.axis == 0 ? 1 : 0;
  for (size_t k = 0; k + 1 < file.plates.size(); ++k) {
    const double boundary = file.plates[k].z_top / 1e9;
    if (r.axis != 2 && r.lo[z] < boundary && boundary < r.hi[z]) return false;
  }
  return true;
}

using PanelValue = std::tuple<int, int, double, double>;        // net, outward, real, layer
using PieceValue = std::tuple<double, double, double, double>;  // e1, e2, eA, eB

void check_against_sampling(const Cap3dFile& file, bool grounded, int trial) {
  FineStructure s;
  ASSERT_EQ("", build_cap3d_structure(file, "t.cap3d",
                                      grounded ? WindowFaces::kGrounded : WindowFaces::kOpen, s));
  std::map<Square, PanelValue> panels, expected_panels;
  std::map<Square, PieceValue> pieces, expected_pieces;
  for (size_t k = 0; k < s.panels.size(); ++k) {
    const PanelSide& side = s.panel_sides[k];
    cover_squares(
        s.panels[k],
        PanelValue{s.conductor_of_panel[k], side.outward, side.permittivity, side.background},
        panels);
    EXPECT_TRUE(in_one_layer(file, s.panels[k])) << trial;
  }
  for (const DielectricPiece& p : s.medium.pieces) {
    cover_squares(p.rect,
                  PieceValue{p.real_below, p.real_above, p.background_below, p.background_above},
                  pieces);
    EXPECT_TRUE(in_one_layer(file, p.rect)) << trial;
  }
  const Sampled sampled{file, s, grounded};
  for (int axis = 0; axis < 3; ++axis)
    for (int level = kLow; level <= kHigh; ++level)
      for (int i = kLow; i < kHigh; ++i)
        for (int j = kLow; j < kHigh; ++j) {
          double below[3], above[3];
          below[axis] = level - 0.5, above[axis] = level + 0.5;
          below[(axis + 1) % 3] = above[(axis + 1) % 3] = i + 0.5;
          below[(axis + 2) % 3] = above[(axis + 2) % 3] = j + 0.5;
          // A grounded window has nothing outside it (the walls' own outsides do not count).
          const bool inside = level >= 0 && level <= 8 && i >= 0 && i < 8 && j >= 0 && j < 8;
          if (grounded && !inside) continue;
          const int c1 = sampled.conductor_at(below), c2 = sampled.conductor_at(above);
          const Square square{axis, level, i, j};
          if (c1 >= 0 && c2 < 0)
            expected_panels[square] =
                PanelValue{c1, 1, sampled.medium_at(above), sampled.layer_at(above[2])};
          if (c2 >= 0 && c1 < 0)
            expected_panels[square] =
                PanelValue{c2, -1, sampled.medium_at(below), sampled.layer_at(below[2])};
          if (c1 >= 0 || c2 >= 0) continue;
          const double e1 = sampled.medium_at(below), e2 = sampled.medium_at(above);
          const double ea = sampled.layer_at(below[2]), eb = sampled.layer_at(above[2]);
          if (e1 * eb != e2 * ea) expected_pieces[square] = PieceValue{e1, e2, ea, eb};
        }
  ASSERT_EQ(expected_panels, panels) << trial;
  ASSERT_EQ(expected_pieces, pieces) << trial;
}

}  // namespace

TEST(ConductorsInDielectrics, PanelsAndPiecesAreWhatSamplingTheMediumGives) {
  std::mt19937 random(17);
  int checked = 0;
  for (int trial = 0; trial < 800; ++trial) {
    Cap3dFile file;
    random_case(random, file);
    // Blocks of different nets may not meet; such cases are the reader's test.
    FineStructure s;
    if (!build_cap3d_structure(file, "t.cap3d", WindowFaces::kOpen, s).empty()) continue;
    check_against_sampling(file, trial % 2 == 1, trial);
    ++checked;
  }
  EXPECT_GT(checked, 250);
}

// libFuzzer target for the cap3d reader and the structure built from it: the input bytes are a
// cap3d file (a first line "<cap3d>" is put before them when they lack one, so that the reader
// is reached).
//
// Whatever the bytes, reading and building must return, in both window modes, and
// - every message is one line of printable text "fuzz.cap3d:LINE: what";
// - a structure it accepts has conductors that are consecutive, non-empty runs of panels,
//   panels of positive finite size, each with a side +1 or -1 and positive finite
//   permittivities, master nets among the conductors, dielectric pieces whose c is not 0, and
//   (for a few hundred panels, checked against every pair) no two panels of different
//   conductors overlapping over an area.
// A broken invariant aborts, which libFuzzer reports as a crash with the input.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <sstream>
#include <string>

#include "fuzz_checks.h"
#include "structure/structure_file.h"

namespace {

bool positive(double value) { return std::isfinite(value) && value > 0; }

bool rects_overlap(const AxisRect& a, const AxisRect& b) {
  if (a.axis != b.axis || a.level != b.level) return false;
  for (int k = 0; k < 2; ++k) {
    if (a.lo[k] >= b.hi[k] || b.lo[k] >= a.hi[k]) return false;
  }
  return true;
}

void check_structure(const FineStructure& s) {
  require(!s.panels.empty() && s.conductor_of_panel.size() == s.panels.size() &&
              s.panel_sides.size() == s.panels.size(),
          "one conductor and one side per panel");
  uint32_t next = 0;
  for (uint32_t c = 0; c < s.conductors.size(); ++c) {
    require(s.conductors[c].first_panel == next && s.conductors[c].panel_count > 0,
            "conductors are consecutive runs");
    next += s.conductors[c].panel_count;
    for (uint32_t k = s.conductors[c].first_panel; k < next; ++k) {
      require(s.conductor_of_panel[k] == c, "conductor_of_panel follows the runs");
    }
  }
  require(next == s.panels.size(), "the runs cover every panel");
  for (size_t k = 0; k < s.panels.size(); ++k) {
    const AxisRect& r = s.panels[k];
    require(r.axis >= 0 && r.axis < 3 && std::isfinite(r.level), "a plane along an axis");
    for (int side = 0; side < 2; ++side) {
      require(std::isfinite(r.lo[side]) && r.lo[side] < r.hi[side] && std::isfinite(r.hi[side]),
              "finite sides of positive length");
    }
    const PanelSide& side = s.panel_sides[k];
    require(side.outward == 1 || side.outward == -1, "a cap3d panel knows its outside");
    require(positive(side.permittivity) && positive(side.background), "positive permittivities");
  }
  for (uint32_t m : s.master_nets) require(m < s.conductors.size(), "masters are conductors");
  for (const DielectricPiece& p : s.medium.pieces) {
    require(positive(p.real_below) && positive(p.real_above) && positive(p.background_below) &&
                positive(p.background_above),
            "positive permittivities of pieces");
    require(p.real_below * p.background_above != p.real_above * p.background_below,
            "a piece carries charge");
  }
  if (s.panels.size() > 400) return;
  for (size_t b = 0; b < s.panels.size(); ++b) {
    for (size_t a = 0; a < b; ++a) {
      require(!rects_overlap(s.panels[a], s.panels[b]), "no two panels overlap over an area");
    }
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string bytes(reinterpret_cast<const char*>(data), size);
  if (structure_format_of(bytes) != StructureFormat::kCap3d) bytes = "<cap3d>\n" + bytes;
  for (WindowFaces faces : {WindowFaces::kOpen, WindowFaces::kGrounded}) {
    std::istringstream in(bytes);
    FineStructure structure;
    StructureFormat format;
    const std::string message = read_structure(in, "fuzz.cap3d", faces, structure, format);
    require(format == StructureFormat::kCap3d, "the content is a cap3d file");
    if (message.empty()) {
      check_structure(structure);
    } else {
      check_message(message, "fuzz.cap3d:");
    }
  }
  return 0;
}

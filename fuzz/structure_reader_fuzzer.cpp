// libFuzzer target for vornax-fine's reader: the input bytes are a panel file.
//
// Whatever the bytes, the reader must return, and
// - every message is one line of printable text starting with "Error: ";
// - a structure it accepts has conductors that are consecutive, non-empty runs of panels whose
//   labels differ from one run to the next, and panels that are finite rectangles (lo < hi), no
//   two of which overlap over an area or, from different conductors, share a point (checked
//   here against every pair);
// - it agrees with vornax's reader: a file that both accept is read to the same runs and
//   rectangles, and where vornax's reader refuses a record for its coordinates or the end of the
//   file, vornax-fine gives the same message or refuses an earlier record.
// Its header lines read to a declared unit and master positions, or to one line naming the line.
// A broken invariant aborts, which libFuzzer reports as a crash with the input.
#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <sstream>
#include <string>

#include "fuzz_checks.h"
#include "geometry/panel_reader.h"
#include "structure/panel_file_header.h"
#include "structure/panel_file_reader.h"

namespace {

/// The record a message names first ("Panel record N"), 0 for none.
uint64_t record_named(const std::string& message) {
  size_t at = message.find("Panel record ");
  return at == std::string::npos ? 0 : std::strtoull(message.c_str() + at + 13, nullptr, 10);
}

/// The closed extent of `rect` along `axis`.
void extent(const AxisRect& rect, int axis, double& lo, double& hi) {
  int side = (axis - rect.axis + 3) % 3;
  lo = side == 0 ? rect.plane : rect.lo[side - 1];
  hi = side == 0 ? rect.plane : rect.hi[side - 1];
}

void check_structure(const FineStructure& s) {
  require(!s.panels.empty() && s.conductor_of_panel.size() == s.panels.size(),
          "one conductor per panel, at least one panel");
  uint32_t next = 0;
  for (uint32_t c = 0; c < s.conductors.size(); ++c) {
    const FineConductor& run = s.conductors[c];
    require(run.first_panel == next && run.panel_count > 0, "conductors are consecutive runs");
    require(!run.label.empty(), "a label is a token");
    for (uint32_t k = run.first_panel; k < run.first_panel + run.panel_count; ++k) {
      require(s.conductor_of_panel[k] == c, "conductor_of_panel follows the runs");
    }
    next += run.panel_count;
  }
  require(next == s.panels.size(), "the runs cover every panel");
  for (const AxisRect& r : s.panels) {
    require(r.axis >= 0 && r.axis < 3 && std::isfinite(r.plane), "a plane along an axis");
    for (int side = 0; side < 2; ++side) {
      require(std::isfinite(r.lo[side]) && r.lo[side] < r.hi[side] && std::isfinite(r.hi[side]),
              "finite sides of positive length");
    }
  }
  for (uint32_t b = 0; b < s.panels.size(); ++b) {
    for (uint32_t a = 0; a < b; ++a) {
      bool meet = true, area = s.panels[a].axis == s.panels[b].axis;
      for (int axis = 0; axis < 3; ++axis) {
        double a_lo, a_hi, b_lo, b_hi;
        extent(s.panels[a], axis, a_lo, a_hi);
        extent(s.panels[b], axis, b_lo, b_hi);
        meet = meet && a_lo <= b_hi && b_lo <= a_hi;
        if (axis != s.panels[a].axis) area = area && a_lo < b_hi && b_lo < a_hi;
      }
      require(!meet || s.conductor_of_panel[a] == s.conductor_of_panel[b],
              "panels of different conductors share no point");
      require(!(meet && area), "no two panels overlap over an area");
    }
  }
}

void check_alike(const PanelVector& panels, const FineStructure& s) {
  require(panels.size() == s.panels.size(), "both readers read every record");
  for (uint32_t k = 0; k < panels.size(); ++k) {
    bool starts_run = k == 0 || panels[k].conductor != panels[k - 1].conductor;
    require(starts_run == (k == 0 || s.conductor_of_panel[k] != s.conductor_of_panel[k - 1]),
            "both readers see the same runs");
    const Point3* v = panels[k].vertices;
    const double first[3] = {v[0].x, v[0].y, v[0].z}, third[3] = {v[2].x, v[2].y, v[2].z};
    const AxisRect& r = s.panels[k];
    require(first[r.axis] == r.plane && third[r.axis] == r.plane, "the plane of vertex 1 and 3");
    for (int side = 0; side < 2; ++side) {
      int along = (r.axis + 1 + side) % 3;
      require(r.lo[side] == std::min(first[along], third[along]) &&
                  r.hi[side] == std::max(first[along], third[along]),
              "the sides from vertex 1 to vertex 3");
    }
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string bytes(reinterpret_cast<const char*>(data), size);
  std::istringstream fine_in(bytes), vornax_in(bytes);
  FineStructure structure;
  std::string message = read_fine_structure(fine_in, "fuzz.panels", structure);
  PanelVector panels;
  uint32_t conductor_count = 0;
  std::string vornax_message = read_panel_records(vornax_in, panels, conductor_count);

  if (message.empty()) {
    check_structure(structure);
    if (vornax_message.empty()) check_alike(panels, structure);
  } else {
    check_message(message, "Error: ");
  }
  bool record_refused =
      !vornax_message.empty() && vornax_message.find("conductor number") == std::string::npos;
  if (record_refused) {
    uint64_t fine_record = record_named(message), vornax_record = record_named(vornax_message);
    require(fine_record > 0 && fine_record <= vornax_record,
            "vornax-fine refuses the record that vornax refuses, or an earlier one");
    require(fine_record < vornax_record || message == vornax_message,
            "the same record refused with the same message");
  }
  // The header lines: a unit of the five, positions from 1, or one line naming the line.
  std::istringstream header_in(bytes);
  PanelFileHeader header;
  std::string header_message = read_panel_file_header(header_in, "fuzz.panels", header);
  if (header_message.empty()) {
    require(header.unit.empty() == (header.unit_line == 0), "a unit has its line");
    for (uint32_t position : header.masters) require(position > 0, "masters count from 1");
  } else {
    require(header_message.compare(0, 12, "fuzz.panels:") == 0 &&
                header_message.find('\n') == std::string::npos,
            "a header message names the file and is one line");
  }
  return 0;
}

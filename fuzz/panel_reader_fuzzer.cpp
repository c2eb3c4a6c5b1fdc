// libFuzzer target for the panel file reader: the input bytes are a panel file.
//
// Whatever the bytes, the reader must return (never end the process), and what it returns must
// hold these invariants, which the later passes rely on:
// - on success, every panel is an unsplit root at its own position with finite size, area and
//   centre, and conductor_count is the number of runs of equal conductor numbers (the number
//   before the first record taken as -1);
// - a conductor-run check that passes leaves exactly six panels per counted conductor, the
//   unknowns that the capacitance step excites;
// - every message is one line of printable text starting with "Error: ".
// A broken invariant aborts, which libFuzzer reports as a crash with the input.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <sstream>
#include <string>

#include "fuzz_checks.h"
#include "geometry/panel_reader.h"

namespace {

bool is_finite(const Point3& p) {
  return std::isfinite(p.x) && std::isfinite(p.y) && std::isfinite(p.z);
}

void check_panels(const PanelVector& panels, uint32_t conductor_count) {
  uint32_t runs = 0;
  int32_t previous = -1;
  for (uint32_t k = 0; k < panels.size(); ++k) {
    const Panel& panel = panels[static_cast<int32_t>(k)];
    require(panel.index == static_cast<int32_t>(k), "index == position");
    require(panel.root_index == static_cast<int32_t>(k), "root_index == position");
    require(panel.parent == -1 && panel.first_child == -1 && panel.second_child == -1,
            "an input panel has no links");
    require(panel.child_kind == kInputPanel && !panel.is_split,
            "an input panel is an unsplit root");
    for (const Point3& vertex : panel.vertices) require(is_finite(vertex), "finite vertices");
    require(is_finite(panel.centre), "finite centre");
    require(std::isfinite(panel.area) && panel.area >= 0.0, "finite, non-negative area");
    require(std::isfinite(panel.panel_size()), "finite size");
    if (panel.conductor != previous) {
      runs += 1;
      previous = panel.conductor;
    }
  }
  require(runs == conductor_count, "conductor_count counts the runs");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::istringstream in(std::string(reinterpret_cast<const char*>(data), size));
  PanelVector panels;
  uint32_t conductor_count = 12345;
  std::string message = read_panel_records(in, panels, conductor_count);
  if (!message.empty()) {
    check_message(message, "Error: ");
    return 0;
  }
  check_panels(panels, conductor_count);

  message = check_conductor_runs(panels);
  if (!message.empty()) {
    check_message(message, "Error: ");
    return 0;
  }
  require(static_cast<uint64_t>(panels.size()) == 6 * static_cast<uint64_t>(conductor_count),
          "six panels per counted conductor");
  return 0;
}

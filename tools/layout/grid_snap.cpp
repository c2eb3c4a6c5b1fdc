#include "tools/layout/grid_snap.h"

#include <algorithm>
#include <cstdlib>

namespace {

/// The multiple of `grid` nearest to `value`, a half away from zero.
int64_t nearest_multiple(int64_t value, int64_t grid) {
  int64_t magnitude = (std::llabs(value) + grid / 2) / grid * grid;
  return value < 0 ? -magnitude : magnitude;
}

/// One box of the sweep: which net, which box.
struct SweptBox {
  const SolidBox* box;  // in space
  size_t net;           // its net's position
};

}  // namespace

void snap_to_grid(LayoutNets& nets, std::vector<NetName>& names, int64_t grid,
                  std::vector<std::string>& notes) {
  std::vector<LayoutNet> kept_nets;
  std::vector<NetName> kept_names;
  for (size_t k = 0; k < nets.nets.size(); ++k) {
    std::vector<NetBox> kept;
    for (NetBox box : nets.nets[k].boxes) {
      for (int32_t a = 0; a < 2; ++a) {
        box.lo[a] = std::max(nearest_multiple(box.lo[a], grid), nets.extent[a]);
        box.hi[a] = std::min(nearest_multiple(box.hi[a], grid), nets.extent[a + 2]);
      }
      if (box.lo[0] < box.hi[0] && box.lo[1] < box.hi[1]) kept.push_back(box);
    }
    if (kept.empty()) {
      notes.push_back("--snap: every shape of the net '" + names[k].name +
                      "' is narrower than half the grid, and the net is left out");
      continue;
    }
    nets.nets[k].boxes = std::move(kept);
    kept_nets.push_back(std::move(nets.nets[k]));
    kept_names.push_back(names[k]);
  }
  nets.nets = std::move(kept_nets);
  names = std::move(kept_names);
}

std::string check_nets_apart(const std::vector<NamedNet>& nets) {
  std::vector<SweptBox> boxes;
  for (size_t k = 0; k < nets.size(); ++k) {
    for (const SolidBox& box : nets[k].boxes) boxes.push_back(SweptBox{&box, k});
  }
  std::sort(boxes.begin(), boxes.end(),
            [](const SweptBox& a, const SweptBox& b) { return a.box->lo[0] < b.box->lo[0]; });
  std::vector<SweptBox> open;  // boxes whose x range may still reach the next box's
  for (const SweptBox& next : boxes) {
    const SolidBox& b = *next.box;
    open.erase(std::remove_if(open.begin(), open.end(),
                              [&b](const SweptBox& o) { return o.box->hi[0] < b.lo[0]; }),
               open.end());
    for (const SweptBox& other : open) {
      const SolidBox& a = *other.box;
      if (other.net == next.net || a.hi[1] < b.lo[1] || b.hi[1] < a.lo[1] || a.hi[2] < b.lo[2] ||
          b.hi[2] < a.lo[2])
        continue;
      std::string at;
      for (int32_t axis = 0; axis < 3; ++axis)
        at += (axis ? ", " : "(") + format_micrometres(std::max(a.lo[axis], b.lo[axis]));
      return "--snap: the nets '" + nets[other.net].name + "' and '" + nets[next.net].name +
             "' touch once snapped to the grid, at " + at + ") um; choose a finer grid";
    }
    open.push_back(next);
  }
  return "";
}

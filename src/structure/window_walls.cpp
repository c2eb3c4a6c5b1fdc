#include "structure/window_walls.h"

#include <algorithm>

void window_walls(const SolidBox& window, std::vector<SolidBox>& walls,
                  std::vector<SurfaceRect>& faces) {
  Femtometres thickness = 0;
  for (int32_t a = 0; a < 3; ++a) thickness = std::max(thickness, window.hi[a] - window.lo[a]);
  // Around the window sideways and above it, from its bottom up.
  SolidBox around = window;
  for (int32_t a = 0; a < 2; ++a) {
    around.lo[a] -= thickness;
    around.hi[a] += thickness;
  }
  around.hi[2] += thickness;
  for (int32_t a = 0; a < 3; ++a) {
    for (int32_t side = 0; side < 2; ++side) {
      if (a == 2 && side == 0) continue;  // the bottom
      SolidBox wall = around;
      if (side == 0) {
        wall.hi[a] = window.lo[a];
      } else {
        wall.lo[a] = window.hi[a];
      }
      walls.push_back(wall);
      SurfaceRect face;
      face.axis = a;
      face.outward = side == 0 ? 1 : -1;  // into the window
      face.level = side == 0 ? window.lo[a] : window.hi[a];
      for (int32_t k = 0; k < 2; ++k) {
        face.lo[k] = window.lo[(a + 1 + k) % 3];
        face.hi[k] = window.hi[(a + 1 + k) % 3];
      }
      faces.push_back(face);
    }
  }
}

// The outer surface of one net's union of boxes, as it grows:
//   union_growth mesh G   G wires along x, G along y above them, a via at every crossing
//   union_growth blob N   N random boxes piled about three deep in one blob
// prints the boxes, the cavities, the surface's rectangles and the seconds of each part.
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

#include "structure/union_cavities.h"
#include "structure/union_surface.h"

namespace {

const Femtometres kMicrometre = kFemtometresPerMicrometre;

std::vector<SolidBox> mesh(int g) {
  const Femtometres u = kMicrometre, pitch = 4 * u, span = g * pitch;
  std::vector<SolidBox> boxes;
  for (int i = 0; i < g; ++i) {
    boxes.push_back(SolidBox{{0, i * pitch, 0}, {span, i * pitch + u, u}});
    boxes.push_back(SolidBox{{i * pitch, 0, 2 * u}, {i * pitch + u, span, 3 * u}});
    for (int j = 0; j < g; ++j) {
      boxes.push_back(SolidBox{{j * pitch, i * pitch, u}, {j * pitch + u, i * pitch + u, 2 * u}});
    }
  }
  return boxes;
}

std::vector<SolidBox> blob(int n) {
  std::mt19937 random(1);
  const Femtometres step = kMicrometre / 1000;
  const int side = static_cast<int>(std::cbrt(n / 3.0)) * 10;  // sides of 5 to 24 steps
  std::vector<SolidBox> boxes(n);
  for (SolidBox& b : boxes) {
    for (int a = 0; a < 3; ++a) {
      b.lo[a] = (random() % side) * step;
      b.hi[a] = b.lo[a] + (5 + random() % 20) * step;
    }
  }
  return boxes;
}

double seconds_since(std::chrono::steady_clock::time_point start) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

}  // namespace

int main(int argc, char** argv) {
  const std::string kind = argc == 3 ? argv[1] : "";
  if (kind != "mesh" && kind != "blob") {
    std::fprintf(stderr, "usage: union_growth mesh G | union_growth blob N\n");
    return 2;
  }
  const int size = std::atoi(argv[2]);
  const std::vector<SolidBox> boxes = kind == "mesh" ? mesh(size) : blob(size);
  const auto start = std::chrono::steady_clock::now();
  const size_t cavities = union_cavities(boxes).size();
  const double cavity_seconds = seconds_since(start);
  const size_t rects = union_surface(boxes).size();
  std::printf("boxes %zu, cavities %zu, rectangles %zu; cavities %.3f s, total %.3f s\n",
              boxes.size(), cavities, rects, cavity_seconds, seconds_since(start));
  return 0;
}

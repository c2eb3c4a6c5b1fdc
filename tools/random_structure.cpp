#include <algorithm>
#include <random>
#include <string>
#include <vector>

#include "tools/structure_generator.h"

namespace {

// Lengths in eighths: exact in binary, short in decimal.
const int64_t kCell = 48;     // a box lives in its own cube cell of side 6
const int64_t kMargin = 8;    // free space inside the cell on every side: 1
const int64_t kMinSide = 8;   // box sides from 1 ...
const int64_t kMaxSide = 24;  // ... to 3, so the gaps (at least 2) stay comparable

/// A number in [0, n). std::mt19937_64 is defined to the bit by the standard,
/// unlike the library's distributions; the bias of the remainder is below
/// n / 2^64 and does not matter here.
int64_t below(std::mt19937_64& random, int64_t n) {
  return static_cast<int64_t>(random() % static_cast<uint64_t>(n));
}

/// Lower and upper end, in eighths, of one side of a box in cell `cell`.
void place_side(std::mt19937_64& random, int64_t cell, double& low, double& high) {
  int64_t side = kMinSide + below(random, kMaxSide - kMinSide + 1);
  int64_t room = kCell - 2 * kMargin - side;
  int64_t start = cell * kCell + kMargin + below(random, room + 1);
  low = static_cast<double>(start) / 8.0;
  high = static_cast<double>(start + side) / 8.0;
}

}  // namespace

Structure random_structure(int32_t count, uint64_t seed) {
  // A g x g x g grid with at least a quarter more cells than boxes; the boxes
  // take a random choice of cells, so some neighbours are missing and gaps vary.
  int64_t g = 1;
  while (4 * g * g * g < 5 * static_cast<int64_t>(count)) ++g;
  std::vector<int64_t> cells(g * g * g);
  for (int64_t c = 0; c < g * g * g; ++c) cells[c] = c;

  std::mt19937_64 random(seed);
  // The first `count` steps of a Fisher-Yates shuffle pick distinct cells.
  for (int64_t c = 0; c < count; ++c) {
    std::swap(cells[c], cells[c + below(random, g * g * g - c)]);
  }
  std::sort(cells.begin(), cells.begin() + count);

  Structure structure;
  structure.title = "random structure of " + std::to_string(count) + " boxes, seed " +
                    std::to_string(seed) + ", sides 1 to 3, gaps at least 2, metres";
  for (int64_t c = 0; c < count; ++c) {
    int64_t cell = cells[c];
    Box box;
    place_side(random, cell % g, box.low.x, box.high.x);
    place_side(random, cell / g % g, box.low.y, box.high.y);
    place_side(random, cell / (g * g), box.low.z, box.high.z);
    structure.boxes.push_back(box);
  }
  return structure;
}

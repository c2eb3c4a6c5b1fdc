// Pairs of rectangles for the tests of the Galerkin coefficients.

#include "rectangle_pairs.h"

#include <cmath>

AxisRect rect(int32_t axis, double plane, double u0, double v0, double u1, double v1) {
  AxisRect r;
  r.axis = axis;
  r.plane = plane;
  r.lo[0] = u0;
  r.lo[1] = v0;
  r.hi[0] = u1;
  r.hi[1] = v1;
  return r;
}

double relative(long double value, long double reference) {
  return static_cast<double>(std::fabs(value / reference - 1));
}

std::vector<Pair> grid() {
  const double as[] = {1, 1e-3};
  const double shapes[][2] = {{1, 1},       {0.5, 0.25},  {1, 1e-3},  {1e-3, 1},
                              {1e-2, 1e-2}, {1e-4, 1e-4}, {3e-4, 0.3}};
  std::vector<Pair> pairs;
  for (double w : as) {
    const AxisRect a = rect(2, 0, 0, 0, 1, w);
    for (const auto& shape : shapes) {
      const double u = shape[0], v = shape[1], size = std::fmax(u, v);
      for (double y0 : {0.0, w, w / 2 - v / 2, -v})
        pairs.push_back({a, rect(2, 0, 1, y0, 1 + u, y0 + v)});
      pairs.push_back({a, rect(2, 0, 0, w, u, w + v)});  // beside a's long side
      for (double h : {1e-3 * size, 0.3 * size}) {
        pairs.push_back({a, rect(2, h, 0.5 - u / 2, w / 2 - v / 2, 0.5 + u / 2, w / 2 + v / 2)});
        pairs.push_back({a, rect(2, h, 1 - u / 2, w - v / 2, 1 + u / 2, w + v / 2)});
      }
      pairs.push_back({a, rect(0, 1, w / 2 - u / 2, 0, w / 2 + u / 2, v)});  // box edge
      pairs.push_back({a, rect(0, 1, 0, -v / 2, u, v / 2)});                 // T at an end
      pairs.push_back({a, rect(1, w / 2, 0, 0.5 - u / 2, v, 0.5 + u / 2)});  // standing
      const double directions[][3] = {{1, 0, 0}, {0, 0, 1}, {0.577, 0.577, 0.577}, {0.9, 0.4, 0.2}};
      for (double gap : {1e-3, 0.1, 1.0, 4.0, 30.0, 1e4}) {
        for (const auto& d : directions) {
          const double reach = gap * std::fmax(1, size) + 1 + size;
          const double c[3] = {0.5 + reach * d[0], w / 2 + reach * d[1], reach * d[2]};
          for (int32_t axis : {2, 0, 1}) {
            const int32_t i = (axis + 1) % 3, j = (axis + 2) % 3;
            pairs.push_back(
                {a, rect(axis, c[axis], c[i] - u / 2, c[j] - v / 2, c[i] + u / 2, c[j] + v / 2)});
          }
        }
      }
    }
  }
  return pairs;
}

double coordinate_spread(const Pair& p) {
  double largest = 0, shortest = INFINITY;
  for (const AxisRect* r : {&p.a, &p.b}) {
    largest = std::fmax(largest, std::fabs(r->plane));
    for (int32_t k = 0; k < 2; ++k) {
      largest = std::fmax(largest, std::fmax(std::fabs(r->lo[k]), std::fabs(r->hi[k])));
      shortest = std::fmin(shortest, r->hi[k] - r->lo[k]);
    }
  }
  return largest / shortest;
}

Pair moved(const Pair& p, double s, double t, int32_t turn, bool mirror) {
  Pair q = p;
  for (AxisRect* r : {&q.a, &q.b}) {
    double lo[3], hi[3];
    for (int32_t k = 0; k < 3; ++k) {
      const int32_t from = (k + 3 - turn) % 3;
      const int32_t i = (from - r->axis + 3) % 3;  // 0: normal, 1 and 2: in-plane
      lo[k] = s * (i == 0 ? r->plane : r->lo[i - 1]) + t;
      hi[k] = s * (i == 0 ? r->plane : r->hi[i - 1]) + t;
    }
    if (mirror) {
      const double x = lo[0];
      lo[0] = -hi[0];
      hi[0] = -x;
    }
    r->axis = (r->axis + turn) % 3;
    r->plane = lo[r->axis];
    for (int32_t i = 0; i < 2; ++i) {
      r->lo[i] = lo[(r->axis + 1 + i) % 3];
      r->hi[i] = hi[(r->axis + 1 + i) % 3];
    }
  }
  return q;
}

std::vector<CornerDifferences> awkward_differences(uint64_t seed, int32_t count) {
  uint64_t state = seed;
  auto next = [&state]() {  // a value in [−1, 1), now and then 0 or a repeat
    state = state * 6364136223846793005u + 1442695040888963407u;
    const double value = static_cast<double>(state >> 11) * 0x1p-52 - 1;
    return (state & 7) == 0 ? 0.0 : value;
  };
  std::vector<CornerDifferences> all(count);
  for (CornerDifferences& d : all) {
    for (double& x : d.xs) x = next();
    for (double& y : d.ys) y = (state & 0x30) == 0 ? -d.xs[0] : next();
    d.zs[0] = (state & 0xc0) == 0 ? d.xs[1] : next();
    d.zs[1] = next();
  }
  return all;
}

#include "fine/galerkin_integral.h"

#include <algorithm>
#include <cmath>

#include "fine/taylor_terms.h"

namespace {

double ln_plus(double y, double r, double rest2) {
  if (y >= 0) return std::log(y + r);
  return std::log(rest2 / (r - y));
}

double parallel_term(double X, double Y, double Z) {
  double R = std::sqrt(X * X + Y * Y + Z * Z);
  double aZ = std::fabs(Z);
  double t = -(X * X + Y * Y - 2 * Z * Z) * R / 6.0;
  double c1 = 0.5 * (X * X - Z * Z) * Y;
  if (c1 != 0) t += c1 * ln_plus(Y, R, X * X + Z * Z);
  double c2 = 0.5 * (Y * Y - Z * Z) * X;
  if (c2 != 0) t += c2 * ln_plus(X, R, Y * Y + Z * Z);
  double c3 = X * Y * aZ;
  if (c3 != 0) t -= c3 * std::atan(X * Y / (aZ * R));
  return t;
}

double perpendicular_term(double X, double Y, double Z) {
  double R = std::sqrt(X * X + Y * Y + Z * Z);
  double t = -Y * Z * R / 3.0;
  double c = X * Y * Z;
  if (c != 0) t += c * ln_plus(X, R, Y * Y + Z * Z);
  c = (X * X / 2 - Z * Z / 6) * Z;
  if (c != 0) t += c * ln_plus(Y, R, X * X + Z * Z);
  c = (X * X / 2 - Y * Y / 6) * Y;
  if (c != 0) t += c * ln_plus(Z, R, X * X + Y * Y);
  c = 0.5 * X * std::fabs(Z) * Z;
  if (c != 0) t -= c * std::atan(X * Y / (std::fabs(Z) * R));
  c = 0.5 * X * std::fabs(Y) * Y;
  if (c != 0) t -= c * std::atan(X * Z / (std::fabs(Y) * R));
  c = std::fabs(X) * X * X / 6.0;
  if (c != 0) t -= c * std::atan(Y * Z / (std::fabs(X) * R));
  return t;
}

void bounds(const AxisRect& r, double lo[3], double hi[3]) {
  lo[r.axis] = hi[r.axis] = r.level;
  for (int k = 0; k < 2; ++k) {
    lo[(r.axis + 1 + k) % 3] = r.lo[k];
    hi[(r.axis + 1 + k) % 3] = r.hi[k];
  }
}

double closed_form(const AxisRect& a, const AxisRect& b) {
  double s = 0;
  if (a.axis == b.axis) {
    double Z = a.level - b.level;
    for (int i = 0; i < 2; ++i)
      for (int k = 0; k < 2; ++k)
        for (int j = 0; j < 2; ++j)
          for (int l = 0; l < 2; ++l) {
            double xi = i ? a.hi[0] : a.lo[0], xk = k ? b.hi[0] : b.lo[0];
            double yj = j ? a.hi[1] : a.lo[1], yl = l ? b.hi[1] : b.lo[1];
            double sign = ((i + j + k + l) % 2) ? -1.0 : 1.0;
            s += sign * parallel_term(xi - xk, yj - yl, Z);
          }
    return s;
  }
  int c = 3 - a.axis - b.axis;
  double alo[3], ahi[3], blo[3], bhi[3];
  bounds(a, alo, ahi);
  bounds(b, blo, bhi);
  double z1 = a.level, y2 = b.level;
  for (int i = 0; i < 2; ++i)
    for (int l = 0; l < 2; ++l)
      for (int j = 0; j < 2; ++j)
        for (int k = 0; k < 2; ++k) {
          double xi = i ? ahi[c] : alo[c], xl = l ? bhi[c] : blo[c];
          double yj = j ? ahi[b.axis] : alo[b.axis];
          double zk = k ? bhi[a.axis] : blo[a.axis];
          double sign = ((i + j + k + l) % 2) ? -1.0 : 1.0;
          s += sign * perpendicular_term(xi - xl, yj - y2, z1 - zk);
        }
  return s;
}

double expansion(const AxisRect& a, const AxisRect& b) {
  static const TaylorTerms terms(4);
  double alo[3], ahi[3], blo[3], bhi[3], ca[3], cb[3];
  bounds(a, alo, ahi);
  bounds(b, blo, bhi);
  for (int k = 0; k < 3; ++k) {
    ca[k] = 0.5 * (alo[k] + ahi[k]);
    cb[k] = 0.5 * (blo[k] + bhi[k]);
  }
  double ma[35], mb[35], d[35];
  rectangle_moments(terms, alo, ahi, ca, ma);
  rectangle_moments(terms, blo, bhi, cb, mb);
  inverse_distance_derivatives(terms, 4, cb[0] - ca[0], cb[1] - ca[1], cb[2] - ca[2], d);
  double s = 0;
  for (const auto& pr : terms.multipole_to_local) s += mb[pr.out] * pr.sign * d[pr.sum] * ma[pr.in];
  double area_a = (a.hi[0] - a.lo[0]) * (a.hi[1] - a.lo[1]);
  double area_b = (b.hi[0] - b.lo[0]) * (b.hi[1] - b.lo[1]);
  return s * area_a * area_b;
}

}  // namespace

double galerkin_integral(const AxisRect& a, const AxisRect& b) {
  double size =
      std::max({a.hi[0] - a.lo[0], a.hi[1] - a.lo[1], b.hi[0] - b.lo[0], b.hi[1] - b.lo[1]});
  double alo[3], ahi[3], blo[3], bhi[3];
  bounds(a, alo, ahi);
  bounds(b, blo, bhi);
  double d2 = 0;
  for (int k = 0; k < 3; ++k) {
    double dc = 0.5 * (alo[k] + ahi[k]) - 0.5 * (blo[k] + bhi[k]);
    d2 += dc * dc;
  }
  if (d2 > 36.0 * size * size) return expansion(a, b);
  return closed_form(a, b);
}

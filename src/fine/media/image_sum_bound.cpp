#include "fine/media/image_sum_bound.h"

#include <cmath>
#include <vector>

#include "fine/media/portable_exp.h"

namespace {

constexpr double kCellWidth = 1.0 / 16;  // the narrowest width of a cell before halving, in ln rho
constexpr int kDeepest = 6;              // halvings of a cell at most
constexpr double kReach = 30.0;          // e-folds sampled beyond the nearest and farthest image
constexpr double kCurvature = 0.2762;    // sup |s''| of s(u) = 1 / sqrt(1 + e^{-2u}), rounded up

// The images' heights Q_n = h0 + q_n and weights, and the sums at one rho:
// rho P(rho) = sum_n w_n s(ln(rho / Q_n)) and h0 P(rho) = sum_n w_n (h0 / Q_n) s(ln(Q_n / rho)).
struct Images {
  std::vector<double> height;     // h0 + q_n of each image
  std::vector<double> inverse;    // 1 / (h0 + q_n)
  std::vector<double> weight;     // w_n
  std::vector<double> magnitude;  // |w_n|
  std::vector<double> across;     // |w_n| h0 / (h0 + q_n)
  double least_height;            // h0
};

void sums_at(const Images& images, double rho, double* along, double* across) {
  double sum_along = 0.0, sum_across = 0.0;
  for (size_t n = 0; n < images.height.size(); ++n) {
    const double inverse = 1.0 / std::sqrt(rho * rho + images.height[n] * images.height[n]);
    sum_along += images.weight[n] * (rho * inverse);
    sum_across += images.weight[n] * (images.least_height * inverse);
  }
  *along = sum_along, *across = sum_across;
}

// sup of |s''| over u in [lo, hi] is at most min(kCurvature, 2 e^{-2 lo}, e^{hi}), each
// exponential given by its value.
double curvature(double twice_e_minus_2lo, double e_hi) {
  const double least = twice_e_minus_2lo < e_hi ? twice_e_minus_2lo : e_hi;
  return least < kCurvature ? least : kCurvature;
}

// Bounds on sup |d^2/d(ln rho)^2| of both sums over rho in [a, b] (products for quotients:
// their rounding is far below the bound's own slack).
void curvatures(const Images& images, double a, double b, double* along, double* across) {
  const double inverse_a = 1.0 / a;
  double sum_along = 0.0, sum_across = 0.0;
  for (size_t n = 0; n < images.height.size(); ++n) {
    const double q_over_a = images.height[n] * inverse_a, b_over_q = b * images.inverse[n];
    sum_along += images.magnitude[n] * curvature(2.0 * q_over_a * q_over_a, b_over_q);
    sum_across += images.across[n] * curvature(2.0 * b_over_q * b_over_q, q_over_a);
  }
  *along = sum_along, *across = sum_across;
}

// The sums at both ends of one cell of rho, its width in ln rho and the suprema found so far.
struct Cell {
  double a, b;                // its ends in rho
  double along_a, along_b;    // rho P at both ends
  double across_a, across_b;  // h0 P at both ends
  double width;               // ln(b / a)
};

struct Suprema {
  double along = 0.0;   // bound on sup rho |P| so far, or a value sampled
  double across = 0.0;  // bound on sup h0 |P| so far, or a value sampled
};

// Bounds both sums over the cell by their larger end plus width^2 / 8 times their curvature,
// halving the cell (at the geometric mean of its ends) while that margin exceeds `resolution`.
// A cell whose bounds do not exceed the suprema found so far cannot raise them and is left:
// the sums are small but near the images, where the curvature's bound would halve every cell
// to the deepest level.
void bound_cell(const Images& images, const Cell& cell, int depth, double resolution, Suprema* sup,
                double c_along, double c_across, double limit) {
  if (sup->along + sup->across > limit) return;
  const double margin = cell.width * cell.width / 8.0;
  const double along =
      std::fmax(std::fabs(cell.along_a), std::fabs(cell.along_b)) + margin * c_along;
  const double across =
      std::fmax(std::fabs(cell.across_a), std::fabs(cell.across_b)) + margin * c_across;
  if (along <= sup->along && across <= sup->across) return;
  if (depth < kDeepest && margin * (c_along + c_across) > resolution) {
    const double middle = std::sqrt(cell.a * cell.b);
    double middle_along, middle_across;  // the sums there, sampled values of both suprema
    sums_at(images, middle, &middle_along, &middle_across);
    sup->along = std::fmax(sup->along, std::fabs(middle_along));
    sup->across = std::fmax(sup->across, std::fabs(middle_across));
    const double half = cell.width / 2.0;
    const Cell lower = {cell.a,        middle,        cell.along_a, middle_along,
                        cell.across_a, middle_across, half};
    const Cell upper = {middle,        cell.b,        middle_along, cell.along_b,
                        middle_across, cell.across_b, half};
    for (const Cell& part : {lower, upper}) {
      curvatures(images, part.a, part.b, &c_along, &c_across);
      bound_cell(images, part, depth + 1, resolution, sup, c_along, c_across, limit);
    }
    return;
  }
  sup->along = std::fmax(sup->along, along);
  sup->across = std::fmax(sup->across, across);
}

}  // namespace

double image_sum_bound(const std::vector<double>& rate, const std::vector<double>& weight,
                       double least_height, double resolution, double limit) {
  if (rate.empty()) return 0.0;
  Images images = {{}, {}, weight, {}, {}, least_height};
  double nearest = HUGE_VAL, farthest = 0.0, total = 0.0;
  for (size_t n = 0; n < rate.size(); ++n) {
    images.height.push_back(least_height + rate[n]);
    images.inverse.push_back(1.0 / images.height.back());
    images.magnitude.push_back(std::fabs(weight[n]));
    images.across.push_back(images.magnitude.back() * (least_height / images.height.back()));
    nearest = std::fmin(nearest, images.height.back());
    farthest = std::fmax(farthest, images.height.back());
    total += std::fabs(weight[n]);
  }
  // Below the first rho, rho |P| < total e^{-kReach} and h0 P moves by less than that; above
  // the last, h0 |P| < total e^{-kReach} and rho P moves by less.
  // The cells first, their ends sampled; then each bounded, the largest sampled values being
  // the suprema to beat from the start.
  struct Base {
    Cell cell;
    double c_along, c_across;
  };
  std::vector<Base> cells;
  Suprema sup;
  const double last = farthest * portable_exp(kReach);
  Cell cell;
  cell.a = nearest * portable_exp(-kReach);
  cell.width = kCellWidth / 2.0;
  sums_at(images, cell.a, &cell.along_a, &cell.across_a);
  while (cell.a < last) {
    // Far from every image the sums are nearly flat: there the cells widen, up to one e-fold,
    // while their margin stays well below the resolution.
    cell.width = std::fmin(2.0 * cell.width, 1.0);
    cell.b = cell.a * portable_exp(cell.width);
    double c_along, c_across;
    curvatures(images, cell.a, cell.b, &c_along, &c_across);
    sums_at(images, cell.b, &cell.along_b, &cell.across_b);
    cells.push_back({cell, c_along, c_across});
    sup.along = std::fmax(sup.along, std::fmax(std::fabs(cell.along_a), std::fabs(cell.along_b)));
    sup.across =
        std::fmax(sup.across, std::fmax(std::fabs(cell.across_a), std::fabs(cell.across_b)));
    const double margin = cell.width * cell.width / 8.0 * (c_along + c_across);
    if (margin > resolution / 4.0) cell.width = std::fmax(cell.width / 4.0, kCellWidth / 2.0);
    cell.a = cell.b, cell.along_a = cell.along_b, cell.across_a = cell.across_b;
  }
  for (const Base& base : cells)
    bound_cell(images, base.cell, 0, resolution, &sup, base.c_along, base.c_across, limit);
  // And the rounding of sums of up to 2 rate.size() products, each within total.
  const double rounding = 1e-15 * total * static_cast<double>(rate.size());
  const double bound = sup.along + sup.across + 2.0 * total * portable_exp(-kReach) + rounding;
  return bound > limit ? HUGE_VAL : bound;
}

#include "fine/solve/coarse_space.h"

#include <algorithm>
#include <cmath>
#include <memory>

#include "common/parallel_for.h"
#include "fine/solve/lane_pcg.h"

namespace {

typedef Lanes<kNarrowLanes> L;

/// The first tree positions of the cut: every node of at most `panels` panels whose parent has
/// more (or that is a root), and every leaf with more; in tree order, with the end appended.
std::vector<int32_t> cut_clusters(const ClusterTree& tree, int32_t panels) {
  std::vector<int32_t> first;
  std::vector<int32_t> stack(tree.roots.rbegin(), tree.roots.rend());
  while (!stack.empty()) {
    const ClusterNode& node = tree.nodes[stack.back()];
    stack.pop_back();
    if (node.count <= panels || node.child[0] < 0) {
      if (node.count > 0) first.push_back(node.first);
    } else {
      stack.push_back(node.child[1]);
      stack.push_back(node.child[0]);
    }
  }
  std::sort(first.begin(), first.end());
  first.push_back(static_cast<int32_t>(tree.panel.size()));
  return first;
}

/// Columns first .. first + 7 of E = Zᵀ Q Z and of Q Z.
void galerkin_columns(CoarseSpace& coarse, const LevelOperator& Q, int32_t first, L* x, L* y,
                      FarFieldWork& work) {
  const size_t n = coarse.weight.size();
  const int32_t m = coarse.size;
  const int32_t lanes = std::min(kNarrowLanes, m - first);
  for (size_t i = 0; i < n; ++i) x[i] = L{};
  for (int32_t w = 0; w < lanes; ++w) {
    for (int32_t i = coarse.first[first + w]; i < coarse.first[first + w + 1]; ++i)
      x[i].lane[w] = coarse.weight[i];
  }
  apply_operator(Q, x, y, work);
  for (int32_t c = 0; c < m; ++c) {
    double sum[kNarrowLanes] = {};
    for (int32_t i = coarse.first[c]; i < coarse.first[c + 1]; ++i)
      for (int32_t w = 0; w < kNarrowLanes; ++w) sum[w] += coarse.weight[i] * y[i].lane[w];
    for (int32_t w = 0; w < lanes; ++w)
      coarse.lower[static_cast<size_t>(c) * m + first + w] = sum[w];
  }
  for (int32_t w = 0; w < lanes; ++w) {
    double* column = &coarse.image[(first + w) * n];
    for (size_t i = 0; i < n; ++i) column[i] = y[i].lane[w];
  }
}

/// The symmetric part of E factored in place, E = L Lᵀ (the lower triangle, row by row); false
/// where a pivot is not positive.
bool cholesky(std::vector<double>& a, int32_t m) {
  const size_t mm = static_cast<size_t>(m);
  for (size_t i = 0; i < mm; ++i)
    for (size_t j = 0; j < i; ++j) a[i * mm + j] = 0.5 * (a[i * mm + j] + a[j * mm + i]);
  for (size_t i = 0; i < mm; ++i) {
    double* row = &a[i * mm];
    for (size_t j = 0; j <= i; ++j) {
      const double* other = &a[j * mm];
      double sum = row[j];
      for (size_t k = 0; k < j; ++k) sum -= row[k] * other[k];
      if (j < i) {
        row[j] = sum / other[j];
      } else if (sum > 0.0) {
        row[i] = std::sqrt(sum);
      } else {
        return false;
      }
    }
  }
  return true;
}

/// work = E⁻¹ work: L v = work, then Lᵀ u = v, both by the rows of L.
void coarse_solve(const CoarseSpace& coarse, L* work) {
  const size_t m = static_cast<size_t>(coarse.size);
  for (size_t c = 0; c < m; ++c) {
    const double* row = &coarse.lower[c * m];
    L v = work[c];
    for (size_t k = 0; k < c; ++k)
      for (int32_t w = 0; w < kNarrowLanes; ++w) v.lane[w] -= row[k] * work[k].lane[w];
    for (int32_t w = 0; w < kNarrowLanes; ++w) work[c].lane[w] = v.lane[w] / row[c];
  }
  for (size_t c = m; c-- > 0;) {
    const double* row = &coarse.lower[c * m];
    for (int32_t w = 0; w < kNarrowLanes; ++w) work[c].lane[w] /= row[c];
    for (size_t k = 0; k < c; ++k)
      for (int32_t w = 0; w < kNarrowLanes; ++w) work[k].lane[w] -= row[k] * work[c].lane[w];
  }
}

/// v += sign · Z work.
void add_spread(const CoarseSpace& coarse, const L* work, double sign, L* v) {
  for (int32_t c = 0; c < coarse.size; ++c) {
    for (int32_t i = coarse.first[c]; i < coarse.first[c + 1]; ++i) {
      const double weight = sign * coarse.weight[i];
      for (int32_t w = 0; w < kNarrowLanes; ++w) v[i].lane[w] += weight * work[c].lane[w];
    }
  }
}

}  // namespace

CoarseSpace make_coarse_space(const LevelMesh& mesh, const ClusterTree& tree,
                              const LevelOperator& Q, int32_t panels, int32_t threads) {
  CoarseSpace coarse;
  coarse.first = cut_clusters(tree, panels);
  coarse.size = static_cast<int32_t>(coarse.first.size()) - 1;
  const size_t n = tree.panel.size();
  const int32_t m = coarse.size;
  coarse.weight.resize(n);
  for (size_t i = 0; i < n; ++i) coarse.weight[i] = mesh.panels[tree.panel[i]].area;
  coarse.lower.resize(static_cast<size_t>(m) * m);
  coarse.image.resize(static_cast<size_t>(m) * n);
  struct Work {
    explicit Work(const LevelOperator& Q) : far(Q.far), x(new L[Q.near.n]), y(new L[Q.near.n]) {}
    FarFieldWork far;        // the far field's expansions
    std::unique_ptr<L[]> x;  // columns of Z
    std::unique_ptr<L[]> y;  // Q times them
  };
  const int32_t groups = (m + kNarrowLanes - 1) / kNarrowLanes;
  std::vector<std::unique_ptr<Work>> work(parallel_for_threads(groups, threads));
  parallel_for(groups, threads, [&](int64_t g, int32_t thread) {
    if (!work[thread]) work[thread].reset(new Work(Q));
    galerkin_columns(coarse, Q, static_cast<int32_t>(g) * kNarrowLanes, work[thread]->x.get(),
                     work[thread]->y.get(), work[thread]->far);
  });
  if (!cholesky(coarse.lower, m)) return CoarseSpace{};
  return coarse;
}

void correct_start(const CoarseSpace& coarse, L* x, L* r, L* work) {
  const size_t n = coarse.weight.size();
  for (int32_t c = 0; c < coarse.size; ++c) {
    L sum{};
    for (int32_t i = coarse.first[c]; i < coarse.first[c + 1]; ++i)
      for (int32_t w = 0; w < kNarrowLanes; ++w) sum.lane[w] += coarse.weight[i] * r[i].lane[w];
    work[c] = sum;
  }
  coarse_solve(coarse, work);
  add_spread(coarse, work, 1.0, x);
  for (int32_t c = 0; c < coarse.size; ++c) {
    const double* column = &coarse.image[c * n];
    for (size_t i = 0; i < n; ++i)
      for (int32_t w = 0; w < kNarrowLanes; ++w) r[i].lane[w] -= column[i] * work[c].lane[w];
  }
}

void deflate_direction(const CoarseSpace& coarse, L* z, L* work) {
  const size_t n = coarse.weight.size();
  for (int32_t c = 0; c < coarse.size; ++c) {
    const double* column = &coarse.image[c * n];
    L sum{};
    for (size_t i = 0; i < n; ++i)
      for (int32_t w = 0; w < kNarrowLanes; ++w) sum.lane[w] += column[i] * z[i].lane[w];
    work[c] = sum;
  }
  coarse_solve(coarse, work);
  add_spread(coarse, work, -1.0, z);
}

#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>

#include "common/instruction_set.h"
#include "fine/clusters/cluster_tree.h"
#include "fine/clusters/interaction_lists.h"
#include "fine/far_field/far_field_tables.h"
#include "fine/media/layered_kernel.h"
#include "sparse/lane_kernels.h"

/// The medium of a far field: the images of a layer stack, and what each panel's row measures.
struct FarFieldMedium {
  const LayeredKernel* kernel = nullptr;  // null: one uniform medium, the kernel 1/r
  std::vector<int32_t> node_layer;        // per tree node: the stack's layer its panels lie in
  std::vector<char> normal_row;           // per mesh panel: 1 where its row takes the mean
                                          // normal derivative (a dielectric piece's); empty:
                                          // every row takes the mean potential
};

class FarField;

/// The space one far product works in, for one group of solves: multipole expansions of the
/// nodes first, local expansions after them. A product up to the kept degree keeps every node's
/// expansions of both kinds at that degree. One above it, given room for every node's expansions
/// at their own degrees, keeps them all; given less, it is made in two halves of the lanes, one
/// after the other, each with every node's multipoles at half the width and the local expansions
/// of the nodes on the path to the current one only (one per level of the tree): the same bits in
/// well under half the room, which the iterations' products then share.
struct FarFieldWork {
  /// Room for every node's expansions of both kinds, `blocks` each (FarField::work_blocks()):
  /// the product above the kept degree then keeps every node's local expansion.
  explicit FarFieldWork(int64_t blocks);
  /// The least room a product of `far` needs (FarField::least_work_blocks()).
  explicit FarFieldWork(const FarField& far);
  std::unique_ptr<Lanes<kNarrowLanes>[]> space;  // the expansions, multipoles first
  int64_t blocks;                                // blocks of `space`
};

/// The coefficients of potential between the panels of well-separated clusters (the far pairs
/// of the interaction lists), through Cartesian Taylor expansions of 1/|x − y| about the cluster
/// centres: the moments of the panels' charges gathered up the tree, turned into local
/// expansions across every far pair, handed down the tree and taken by the panels.
///
/// Each far pair gets the lowest degree from 2 whose truncation bound ρ^(degree+1), for its
/// ratio ρ of radii to distance on the tree's grid, is no larger than that of the highest degree
/// at the largest ratio allowed, `separation`; each node carries the highest degree any pair of
/// it or of its ancestors has. A product at a lower degree cuts every pair there: its error is
/// the truncation of each pair's expansion at the lower of the two degrees.
class FarField {
 public:
  /// The far field of `lists` up to `highest` degree (at most kHighestDegree). Products up to
  /// `kept` degree (at most `highest`), the many of the iterations, read moments and tensors
  /// kept for them; those above make the panels' moments afresh.
  /// `medium`, when given, makes it the far field of a layer stack: each pair couples through
  /// the images of its two layers' kernel, and rows marked normal take the normal derivative.
  FarField(const LevelMesh& mesh, const ClusterTree& tree, const InteractionLists& lists,
           int32_t highest, int32_t kept, double separation,
           const FarFieldMedium* medium = nullptr);

  /// y += F x, every pair cut at `degree` (at most the highest): x and y hold one value per
  /// panel in tree order, eight solves side by side; `work` is overwritten. The same bits on
  /// every instruction-set path.
  void add_product(int32_t degree, const Lanes<kNarrowLanes>* x, Lanes<kNarrowLanes>* y,
                   FarFieldWork& work, InstructionSet set) const;

  /// add_product shared by several threads (SharedFarProduct): make_moments on one thread puts
  /// every node's moments in `moments` (work_blocks() blocks); then add_locals on each thread, with
  /// its own `path` (path_blocks() blocks) and one `next` (from 0) for all, adds to y the values of
  /// the panels of the subtrees it takes. Together the bits of add_product.
  void make_moments(int32_t degree, const Lanes<kNarrowLanes>* x, Lanes<kNarrowLanes>* moments,
                    InstructionSet set) const;
  /// `threads` is how many share it.
  void add_locals(int32_t degree, const Lanes<kNarrowLanes>* moments, Lanes<kNarrowLanes>* y,
                  Lanes<kNarrowLanes>* path, std::atomic<int32_t>& next, int32_t threads,
                  InstructionSet set) const;
  /// add_product made by `threads` threads together, with its bits: `beside` (which must not
  /// touch y's far part, only set y, as a near product does) runs on one thread while another
  /// makes the moments in work.space; then all of them add the local expansions' subtrees. On
  /// one thread, beside() and then add_product.
  void add_product_together(int32_t degree, const Lanes<kNarrowLanes>* x, Lanes<kNarrowLanes>* y,
                            FarFieldWork& work, int32_t threads, InstructionSet set,
                            const std::function<void()>& beside) const;
  /// The degree up to which products read kept moments and tensors.
  int32_t kept_degree() const { return tables_.kept_degree; }
  /// The blocks of one thread's path in add_locals.
  int64_t path_blocks() const { return int64_t{tables_.depth} * tables_.terms.count; }

  /// The blocks of every node's expansions of one kind at their degrees: a work space with this
  /// many of both keeps every local expansion.
  int64_t work_blocks() const { return tables_.blocks; }
  /// The least blocks of a work space: every node's expansions of both kinds up to the kept
  /// degree, or every node's multipoles at its degree and one local expansion of the highest
  /// degree per level of the tree, whichever is more.
  int64_t least_work_blocks() const;
  /// The bytes of the least work space, FarFieldWork(*this).
  int64_t work_bytes() const;
  /// The number of far pairs.
  int64_t pair_count() const { return tables_.pairs; }
  /// The memory the far field takes, work spaces apart.
  int64_t bytes() const;
  /// The arrays of the product, for measurements.
  const FarFieldTables& tables() const { return tables_; }

 private:
  FarFieldTables tables_;  // what the product reads
};

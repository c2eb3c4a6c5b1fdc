#pragma once

#include <cstdint>
#include <memory>

#include "sparse/compact_arrays.h"

// The ordered sums of the product and of the forward substitution, gathered: each unknown's sum
// is built from its own run of terms, in exactly the order in which the list walks add them,
// instead of being scattered to from the rows that hold its terms.
//
// With the columns taken in ascending blocks, a sum that receives its terms in ascending column
// order receives them in the same order when each block adds its share in turn: a sum leaves the
// registers between blocks as the double it is, and picks up where it stopped. A block's part of
// the source vector is then read by every row while it is in cache.

/// The terms of every sum, cut into segments: one per (column block, row) that has terms, by block
/// and then by row ascending. Segment s adds the terms start(s) .. start(s+1)-1 to the sum of row
/// segment_row[s], each term value[k]·v(col[k]).
struct BlockedSums {
  BlockedSums(int64_t segment_count, int64_t term_count);
  BlockedSums(const BlockedSums&) = delete;
  BlockedSums& operator=(const BlockedSums&) = delete;
  ~BlockedSums();

  int64_t segment_count;   // segments in all
  int32_t* segment_row;    // row of each segment
  int64_t* segment_start;  // segment_count + 1 offsets into col / value
  int32_t* col;            // source column of each term
  double* value;           // its coefficient
};

/// The terms of y = P·x by rows of y: row r takes every term that the product adds to y(r), in
/// the order it adds them. Blocks of `block_columns` (at least 1) when every row receives its
/// terms in ascending blocks, as a symmetric matrix stored by upper rows does; one block
/// otherwise.
std::unique_ptr<BlockedSums> blocked_product(const CompactSymmetric& P, int32_t block_columns);

/// The terms of the forward substitution z(i) = r(i) - Σ z(j)·U(j, i), j < i ascending, by rows
/// of z: the factor's upper entries transposed, in blocks of `block_columns` (at least 1). Segments
/// in ascending order find every z(j) they read final.
std::unique_ptr<BlockedSums> blocked_forward(const CompactFactor& F, int32_t block_columns);

/// Columns per block for groups of `lanes` lanes: a block of the source vector fills about half
/// of `cache_bytes` (the second-level cache of one core; 0: kAssumedCacheBytes), all columns when
/// the whole vector fits there.
int32_t cache_block_columns(int32_t n, int32_t lanes, int64_t cache_bytes);

/// The second-level cache assumed where the system does not report it: the smallest of current
/// processors.
constexpr int64_t kAssumedCacheBytes = 256 * 1024;

/// The second-level cache of one core in bytes as the system reports it, or 0 where it does not.
int64_t second_level_cache_bytes();

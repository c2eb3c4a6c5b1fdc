#pragma once

#include <cstdint>

#include "model/point3.h"

// Values of Panel::child_kind. A second child carries no unknown: its charge is its parent's
// minus its sibling's.
constexpr int32_t kInputPanel = 0;   // read from the panel file, a root of the tree
constexpr int32_t kSecondChild = 1;  // the half of a split panel away from its vertex 1
constexpr int32_t kFirstChild = 2;   // the half of a split panel at its vertex 1

/// One rectangle of a conductor's surface, sides parallel to the axes, and at
/// the same time one node of the panel tree. Panels are identified by their
/// position in the PanelVector; every link below is such a position, -1 for
/// none.
struct Panel {
  // Fields without a default here are always set by whoever creates a panel
  // (the reader or the subdivision); the integer ones start at harmless values.
  int32_t conductor = 0;         // conductor number as read from the panel file
  Point3 vertices[4];            // corners 1 to 4 in order around the rectangle: 3 is opposite 1
  Point3 centre{0.0, 0.0, 0.0};  // midpoint of vertices 1 and 3
  double area = 1.0;             // measure of the rectangle, from vertices 1 and 3
  int32_t parent = -1;           // the panel this one was cut from; -1 for an input panel
  int32_t first_child = -1;      // first half after subdivision; -1 while a leaf
  int32_t second_child = -1;     // second half, always first_child + 1; -1 while a leaf
  int32_t index = -1;            // own position in the PanelVector
  int32_t child_kind = kInputPanel;  // kInputPanel, kFirstChild or kSecondChild
  int32_t root_index = -1;           // position of the input panel this one descends from
  bool is_split = false;             // true once subdivided
  int32_t unknown_number = 0;        // row and column in the P matrix; none for a second child

  Panel() = default;
  Panel(const Panel&) = default;

  /// Copies everything but `child_kind` and `unknown_number`, which stay as
  /// they were: a child starts as a copy of its parent yet keeps its own kind.
  Panel& operator=(const Panel& other);

  /// centre = (vertex 3 + vertex 1) * 0.5, coordinate by coordinate.
  void compute_centre();

  /// area = |product of the non-zero extents from vertex 1 to vertex 3|, 1.0
  /// when all three extents are zero.
  void compute_area();

  /// Length of the longer of the two sides that meet at vertex 1.
  double panel_size() const;

  // Accessors of the record's interface, kept although every pass reads the fields directly.
  double get_area() const { return area; }
  int32_t get_parent() const { return parent; }
  int32_t get_first_child() const { return first_child; }
  int32_t get_second_child() const { return second_child; }
};

/// Euclidean distance between two points, the squares summed in x, y, z order.
double distance(const Point3& a, const Point3& b);

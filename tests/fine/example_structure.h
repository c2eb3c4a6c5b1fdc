#pragma once

#include <gtest/gtest.h>

#include <fstream>
#include <ostream>
#include <sstream>
#include <string>

#include "fine/program/extraction.h"

/// The structure of one of examples/' panel files, read as vornax-fine reads it.
inline FineStructure example_structure(const std::string& name) {
  std::ifstream in(std::string(VORNAX_EXAMPLES) + "/" + name);
  FineStructure structure;
  EXPECT_EQ("", read_fine_structure(in, name, structure));
  return structure;
}

/// The structure of a panel file's text, read as vornax-fine reads it.
inline FineStructure structure_from_text(const std::string& text, const std::string& name) {
  std::istringstream in(text);
  FineStructure structure;
  EXPECT_EQ("", read_fine_structure(in, name, structure));
  return structure;
}

/// The six faces of the box [lo, hi] as panel records of conductor `name`.
inline void write_box_panels(std::ostream& file, const std::string& name, const double lo[3],
                             const double hi[3]) {
  for (int axis = 0; axis < 3; ++axis) {  // the two faces across `axis`
    const int a = (axis + 1) % 3, b = (axis + 2) % 3;
    for (double at : {lo[axis], hi[axis]}) {
      file << "Q " << name;
      const double corner[4][2] = {{lo[a], lo[b]}, {hi[a], lo[b]}, {hi[a], hi[b]}, {lo[a], hi[b]}};
      for (const auto& c : corner) {
        double point[3];
        point[axis] = at, point[a] = c[0], point[b] = c[1];
        file << "  " << point[0] << " " << point[1] << " " << point[2];
      }
      file << "\n";
    }
  }
}

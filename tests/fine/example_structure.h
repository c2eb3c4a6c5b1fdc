#pragma once

#include <gtest/gtest.h>

#include <fstream>
#include <string>

#include "fine/program/extraction.h"

/// The structure of one of examples/' panel files, read as vornax-fine reads it.
inline FineStructure example_structure(const std::string& name) {
  std::ifstream in(std::string(VORNAX_EXAMPLES) + "/" + name);
  FineStructure structure;
  EXPECT_EQ("", read_fine_structure(in, name, structure));
  return structure;
}

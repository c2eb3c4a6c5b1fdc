#include <gtest/gtest.h>

#include "run/capacitance_extractor.h"

TEST(CapacitanceExtractor, Defaults) {
  CapacitanceExtractor extractor;
  EXPECT_EQ(0u, extractor.panel_count);
  EXPECT_EQ(0u, extractor.panels.size());
  EXPECT_TRUE(extractor.leaf_list.empty());
  EXPECT_EQ(0u, extractor.conductor_count);
  EXPECT_EQ(1.5, extractor.refinement_ratio);
  EXPECT_EQ(0.425, extractor.pcg_tolerance);
  EXPECT_EQ(0, extractor.unknown_count);
  EXPECT_EQ(0u, extractor.input_panel_count);
  EXPECT_TRUE(extractor.interaction_list.empty());
  EXPECT_EQ(0.5, extractor.min_refine_size);
  EXPECT_EQ(0.0, extractor.drop_tolerance);
  EXPECT_EQ(nullptr, extractor.p_matrix);
  EXPECT_EQ(nullptr, extractor.factor);
  EXPECT_EQ(nullptr, extractor.capacitance_matrix);
}

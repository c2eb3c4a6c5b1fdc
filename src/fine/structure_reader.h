#pragma once

#include <cstdint>
#include <istream>
#include <string>
#include <vector>

#include "fine/axis_rect.h"

// Development stand-in; the full reader replaces it.
struct FineConductor {
  std::string label;
  uint32_t first_panel;
  uint32_t panel_count;
};

struct FineStructure {
  std::vector<AxisRect> panels;
  std::vector<uint32_t> conductor_of_panel;
  std::vector<FineConductor> conductors;
};

std::string read_fine_structure(std::istream& in, const std::string& file_name, FineStructure& out);

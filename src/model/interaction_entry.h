#pragma once

#include <cstdint>

/// One accepted panel pair of the interaction list with its estimated
/// potential coefficient.
struct InteractionEntry {
  int32_t panel_i;  // PanelVector position of the first panel of the pair
  int32_t panel_j;  // PanelVector position of the second panel (equal to panel_i for a self pair)
  double p_ij;      // PotentialEstimation of panel_i and panel_j
};

#include <cmath>
#include <cstdlib>
#include <iostream>

#include "common/progress_display.h"
#include "run/capacitance_extractor.h"

double CapacitanceExtractor::PotentialEstimation(const Panel& a, const Panel& b) const {
  // Identity is decided by position alone, never by geometry.
  if (a.index == b.index) return 3.53 / std::sqrt(a.area);
  double r = distance(a.centre, b.centre);
  if (r == 0.0) {
    erase_progress_line();
    std::cout << std::endl << "PotentialEstimation is wrong (r=0)!" << std::endl;
    std::exit(1);
  }
  return 1 / r;
}

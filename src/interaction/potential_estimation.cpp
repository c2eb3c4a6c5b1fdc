#include <cmath>

#include "model/capacitance_extractor.h"

double CapacitanceExtractor::PotentialEstimation(const Panel& a, const Panel& b) {
  // Identity is decided by position alone, never by geometry.
  if (a.index == b.index) return 3.53 / std::sqrt(a.area);
  double r = distance(a.centre, b.centre);
  if (r == 0.0) {
    failure = Failure{"\nPotentialEstimation is wrong (r=0)!"};  // after an empty line
    return 0.0;
  }
  return 1 / r;
}

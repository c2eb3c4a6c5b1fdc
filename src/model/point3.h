#pragma once

/// A point or vector in space. Deliberately without initialisation: a Point3
/// means something only once it has been assigned.
struct Point3 {
  double x;
  double y;
  double z;
};

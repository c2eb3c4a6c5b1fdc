// Structures in dielectrics for the tests, written as cap3d text, and the checks of their rows.
#pragma once

#include <string>
#include <vector>

#include "fine/program/extraction.h"
#include "structure/structure_file.h"

/// A box `name` of a cap3d file from its corner and extents: a <conductor>, or with `eps` > 0 a
/// <medium> block of that permittivity.
std::string box(const std::string& name, double x, double y, double z, double dx, double dy,
                double dz, double eps = 0.0);

/// A cap3d file of `body` in the window ±half, with planar layers of permittivity eps[k] up to
/// tops[k] (the last to the window's top).
std::string cap3d(const std::vector<double>& eps, const std::vector<double>& tops,
                  const std::string& body, double half = 20.0);

FineStructure read(const std::string& text, WindowFaces faces = WindowFaces::kOpen);

/// The extraction at 1 % with two threads, expected to reach its accuracy.
FineResult extract(const FineStructure& structure, std::vector<int32_t> masters = {},
                   double permittivity = 1.0);

/// Each significant entry of `result`'s rows is `expected` within its estimate, the extra
/// relative `margin` and, where given, the expected value's own error.
void expect_rows(const FineResult& result, const std::vector<double>& expected, double margin,
                 const double* expected_error = nullptr);

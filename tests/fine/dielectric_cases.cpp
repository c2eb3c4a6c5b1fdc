#include "dielectric_cases.h"

#include <gtest/gtest.h>

#include <cmath>
#include <sstream>

std::string box(const std::string& name, double x, double y, double z, double dx, double dy,
                double dz, double eps) {
  std::ostringstream out;
  const char* section = eps > 0 ? "medium" : "conductor";
  out << "<" << section << ">\nname " << name << "\n";
  if (eps > 0) out << "diel " << eps << "\n";
  out << "<block>\nbasepoint(" << x << "," << y << "," << z << ")\nv1(" << dx << ",0,0)\nv2(0,"
      << dy << ",0)\nhvector(0,0," << dz << ")\n</block>\n</" << section << ">\n";
  return out.str();
}

std::string cap3d(const std::vector<double>& eps, const std::vector<double>& tops,
                  const std::string& body, double half) {
  std::ostringstream out;
  out << "<cap3d>\n<window>\nname w\nv1(" << -half << "," << -half << "," << -half << ")\nv2("
      << half << "," << half << "," << half << ")\n</window>\n";
  for (size_t k = 0; k < eps.size(); ++k) {
    out << "<plate_medium>\nname l" << k << "\ndiel " << eps[k] << "\nz_top "
        << (k < tops.size() ? tops[k] : half) << "\n</plate_medium>\n";
  }
  out << body << "</cap3d>\n";
  return out.str();
}

FineStructure read(const std::string& text, WindowFaces faces) {
  std::istringstream in(text);
  FineStructure structure;
  StructureFormat format;
  EXPECT_EQ("", read_structure(in, "test", faces, structure, format));
  return structure;
}

FineResult extract(const FineStructure& structure, std::vector<int32_t> masters,
                   double permittivity) {
  FineOptions options;
  options.accuracy = 0.01;
  options.threads = 2;
  options.masters = masters;
  options.permittivity = permittivity;
  FineResult result = extract_fine(structure, options);
  EXPECT_EQ(FineEnd::reached, result.end);
  return result;
}

void expect_rows(const FineResult& result, const std::vector<double>& expected, double margin,
                 const double* expected_error) {
  const ConvergenceEstimate& e = result.estimate;
  ASSERT_EQ(expected.size(), e.value.size());
  for (size_t at = 0; at < expected.size(); ++at) {
    if (!e.significant[at]) continue;
    const double allowed = e.error[at] + (expected_error ? expected_error[at] : 0.0) +
                           margin * std::fabs(expected[at]);
    EXPECT_NEAR(expected[at], e.value[at], allowed) << "entry " << at;
  }
}

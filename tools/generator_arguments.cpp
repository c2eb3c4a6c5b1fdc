#include "tools/generator_arguments.h"

#include <cerrno>
#include <cmath>
#include <cstdint>
#include <cstdlib>

#include "tools/structure_generator.h"

const char kGeneratorUsage[] =
    "usage: vornax-gen cube SIDE\n"
    "       vornax-gen plates W GAP T\n"
    "       vornax-gen bus K [--scale S]\n"
    "       vornax-gen random N --seed S\n"
    "Writes a panel file (coordinates in metres) on standard output.\n"
    "SIDE, W, GAP, T and the scale are positive decimal numbers; K and N are\n"
    "whole numbers from 1 to 100000; the seed is a whole number from 0 to 2^64-1.\n"
    "--help prints this usage, --version the version.\n";

namespace {

// Enough for any structure vornax can still extract; far below the 32-bit
// conductor numbers.
const int64_t kMaxCount = 100000;

bool only_digits(const std::string& token) {
  if (token.empty()) return false;
  for (char c : token) {
    if (c < '0' || c > '9') return false;
  }
  return true;
}

/// A positive, finite decimal number; hexadecimal, "inf" and "nan", which
/// strtod alone would take, are refused by the character check.
bool parse_length(const std::string& token, double& value) {
  if (token.empty() || token.find_first_not_of("0123456789.eE+-") != std::string::npos) {
    return false;
  }
  char* end = nullptr;
  value = std::strtod(token.c_str(), &end);
  return *end == '\0' && std::isfinite(value) && value > 0.0;
}

bool parse_count(const std::string& token, int32_t& value) {
  if (!only_digits(token) || token.size() > 6) return false;
  int64_t number = std::strtoll(token.c_str(), nullptr, 10);
  if (number < 1 || number > kMaxCount) return false;
  value = static_cast<int32_t>(number);
  return true;
}

bool parse_seed(const std::string& token, uint64_t& value) {
  if (!only_digits(token)) return false;
  errno = 0;
  unsigned long long number = std::strtoull(token.c_str(), nullptr, 10);
  if (errno == ERANGE) return false;
  value = static_cast<uint64_t>(number);
  return true;
}

std::string bad(const std::string& what, const std::string& token, const std::string& wanted) {
  return what + " '" + token + "' is not " + wanted + ".";
}

const char kLength[] = "a positive decimal number";
const char kCount[] = "a whole number from 1 to 100000";

std::string cube(const std::vector<std::string>& a, Structure& structure) {
  if (a.size() != 2) return "cube takes one argument, SIDE.";
  double side;
  if (!parse_length(a[1], side)) return bad("SIDE", a[1], kLength);
  structure = cube_structure(side);
  return "";
}

std::string plates(const std::vector<std::string>& a, Structure& structure) {
  if (a.size() != 4) return "plates takes three arguments, W GAP T.";
  double width, gap, thickness;
  if (!parse_length(a[1], width)) return bad("W", a[1], kLength);
  if (!parse_length(a[2], gap)) return bad("GAP", a[2], kLength);
  if (!parse_length(a[3], thickness)) return bad("T", a[3], kLength);
  structure = plates_structure(width, gap, thickness);
  return "";
}

std::string bus(const std::vector<std::string>& a, Structure& structure) {
  if (a.size() != 2 && !(a.size() == 4 && a[2] == "--scale")) {
    return "bus takes K, optionally followed by --scale S.";
  }
  int32_t k;
  if (!parse_count(a[1], k)) return bad("K", a[1], kCount);
  double scale = 1.0;
  if (a.size() == 4 && !parse_length(a[3], scale)) return bad("the scale", a[3], kLength);
  structure = bus_structure(k, scale);
  return "";
}

std::string random(const std::vector<std::string>& a, Structure& structure) {
  if (a.size() != 4 || a[2] != "--seed") return "random takes N --seed S.";
  int32_t count;
  if (!parse_count(a[1], count)) return bad("N", a[1], kCount);
  uint64_t seed;
  if (!parse_seed(a[3], seed)) return bad("the seed", a[3], "a whole number from 0 to 2^64-1");
  structure = random_structure(count, seed);
  return "";
}

}  // namespace

std::string structure_from_arguments(const std::vector<std::string>& arguments,
                                     Structure& structure) {
  if (arguments.empty()) return "no structure given.";
  const std::string& kind = arguments[0];
  std::string error;
  if (kind == "cube") {
    error = cube(arguments, structure);
  } else if (kind == "plates") {
    error = plates(arguments, structure);
  } else if (kind == "bus") {
    error = bus(arguments, structure);
  } else if (kind == "random") {
    error = random(arguments, structure);
  } else {
    return "unknown structure '" + kind + "'.";
  }
  if (error.empty() && !has_finite_coordinates(structure)) {
    error = "the arguments are so large that the coordinates overflow.";
  }
  return error;
}

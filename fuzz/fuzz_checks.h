#pragma once
// What every fuzz target checks: a broken invariant aborts, which libFuzzer reports as a crash
// with the input.

#include <cstdio>
#include <cstdlib>
#include <string>

inline void require(bool condition, const char* what) {
  if (condition) return;
  std::fprintf(stderr, "broken invariant: %s\n", what);
  std::abort();
}

/// A message starts with `start` and is one line of printable text.
inline void check_message(const std::string& message, const std::string& start) {
  require(message.compare(0, start.size(), start) == 0, "a message starts as it should");
  for (char c : message) {
    unsigned char byte = static_cast<unsigned char>(c);
    require(byte >= 0x20 && byte < 0x7f, "a message is one line of printable text");
  }
}

#include "common/message_text.h"

#include <cstddef>

std::string one_line(const std::string& name) {
  std::string shown = name;
  for (char& c : shown) {
    unsigned char byte = static_cast<unsigned char>(c);
    if (byte < 0x20 || byte == 0x7f) c = '?';
  }
  return shown;
}

std::string printable(const std::string& token) {
  const std::size_t kMaxShown = 40;
  std::string shown;
  for (std::size_t k = 0; k < token.size() && k < kMaxShown; ++k) {
    unsigned char c = static_cast<unsigned char>(token[k]);
    shown += (c >= 0x20 && c < 0x7f) ? static_cast<char>(c) : '?';
  }
  if (token.size() > kMaxShown) shown += "...";
  return shown;
}

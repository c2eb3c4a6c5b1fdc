#include "structure/exact_length.h"

#include <cstdint>

bool parse_micrometres(const std::string& text, Femtometres& value) {
  size_t at = 0;
  bool negative = false;
  if (at < text.size() && (text[at] == '-' || text[at] == '+')) negative = text[at++] == '-';
  Femtometres whole = 0, fraction = 0;
  int32_t whole_digits = 0, places = 0;
  for (; at < text.size() && text[at] >= '0' && text[at] <= '9'; ++at, ++whole_digits) {
    // 9223372035 micrometres and more do not fit in femtometres.
    if (whole > 922337203) return false;
    whole = 10 * whole + (text[at] - '0');
  }
  if (at < text.size() && text[at] == '.') {
    for (++at; at < text.size() && text[at] >= '0' && text[at] <= '9'; ++at, ++places) {
      if (places == 9) return false;
      fraction = 10 * fraction + (text[at] - '0');
    }
  }
  if (at != text.size() || whole_digits + places == 0 || whole > 9223372035) return false;
  for (int32_t k = places; k < 9; ++k) fraction *= 10;
  value = whole * kFemtometresPerMicrometre + fraction;
  if (negative) value = -value;
  return true;
}

std::string format_micrometres(Femtometres value) {
  // Magnitude as unsigned, so that the most negative value has one too.
  uint64_t magnitude = value < 0 ? 0 - static_cast<uint64_t>(value) : value;
  std::string text = std::to_string(magnitude / kFemtometresPerMicrometre);
  uint64_t fraction = magnitude % kFemtometresPerMicrometre;
  if (fraction != 0) {
    std::string digits = std::to_string(fraction + kFemtometresPerMicrometre).substr(1);
    digits.erase(digits.find_last_not_of('0') + 1);
    text += '.' + digits;
  }
  return value < 0 ? '-' + text : text;
}

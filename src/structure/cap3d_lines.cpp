#include "structure/cap3d_lines.h"

#include <cmath>
#include <cstdlib>

#include "common/message_text.h"

namespace {

bool is_space(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\v' || c == '\f'; }

bool is_digit(char c) { return c >= '0' && c <= '9'; }

std::string trimmed(const std::string& text) {
  size_t from = 0, to = text.size();
  while (from < to && is_space(text[from])) ++from;
  while (to > from && is_space(text[to - 1])) --to;
  return text.substr(from, to - from);
}

const Femtometres kLargestLength = 100000000 * kFemtometresPerMicrometre;  // 10^8 micrometres

}  // namespace

size_t byte_order_mark_length(const std::string& text) {
  return text.compare(0, 3, "\xEF\xBB\xBF") == 0 ? 3 : 0;
}

bool Cap3dLines::next(std::string& text) {
  std::string raw;
  while (std::getline(in_, raw)) {
    ++line_;
    if (line_ == 1) raw.erase(0, byte_order_mark_length(raw));
    text = trimmed(raw);
    if (!text.empty() && text.compare(0, 2, "//") != 0) return true;
  }
  return false;
}

std::string cap3d_error(const std::string& file_name, uint32_t line, const std::string& what) {
  return one_line(file_name) + ":" + std::to_string(line) + ": " + what;
}

void split_key(const std::string& text, std::string& key, std::string& value) {
  size_t end = 0;
  while (end < text.size() && !is_space(text[end]) && text[end] != '(') ++end;
  key = text.substr(0, end);
  value = trimmed(text.substr(end));
}

bool is_one_word(const std::string& value) {
  if (value.empty()) return false;
  for (char c : value) {
    if (is_space(c)) return false;
  }
  return true;
}

bool parse_exact_length(const std::string& text, Femtometres& value) {
  size_t at = 0;
  const bool negative = at < text.size() && text[at] == '-';
  if (at < text.size() && (text[at] == '-' || text[at] == '+')) ++at;
  std::string digits;  // the significant digits, leading zeros dropped
  int32_t places = 0, mantissa_digits = 0;
  bool point = false;
  for (; at < text.size() && (is_digit(text[at]) || (text[at] == '.' && !point)); ++at) {
    if (text[at] == '.') {
      point = true;
      continue;
    }
    ++mantissa_digits;
    if (point) ++places;
    if (!digits.empty() || text[at] != '0') digits += text[at];
    if (digits.size() > 30 || places > 30) return false;
  }
  if (mantissa_digits == 0) return false;
  int32_t exponent = 0;
  if (at < text.size() && (text[at] == 'e' || text[at] == 'E')) {
    ++at;
    const bool down = at < text.size() && text[at] == '-';
    if (at < text.size() && (text[at] == '-' || text[at] == '+')) ++at;
    const size_t first = at;
    for (; at < text.size() && is_digit(text[at]) && at - first < 4; ++at) {
      exponent = 10 * exponent + (text[at] - '0');
    }
    if (at == first) return false;
    if (down) exponent = -exponent;
  }
  if (at != text.size()) return false;
  // value = digits x 10^power femtometres; the digits cut off below the femtometre must be 0.
  int32_t power = exponent - places + 9;
  while (power < 0 && !digits.empty() && digits.back() == '0') {
    digits.pop_back();
    ++power;
  }
  if (digits.empty()) {
    value = 0;
    return true;
  }
  if (power < 0 || static_cast<int32_t>(digits.size()) + power > 18) return false;
  Femtometres magnitude = 0;
  for (char d : digits) magnitude = 10 * magnitude + (d - '0');
  for (int32_t k = 0; k < power; ++k) magnitude *= 10;
  if (magnitude > kLargestLength) return false;
  value = negative ? -magnitude : magnitude;
  return true;
}

bool parse_triple(const std::string& text, Femtometres xyz[3]) {
  if (text.size() < 2 || text.front() != '(' || text.back() != ')') return false;
  size_t from = 1;
  for (int32_t k = 0; k < 3; ++k) {
    const size_t comma = text.find(',', from);
    const size_t end = k < 2 ? comma : text.size() - 1;
    if (end == std::string::npos || (k == 2 && comma != std::string::npos)) return false;
    if (!parse_exact_length(trimmed(text.substr(from, end - from)), xyz[k])) return false;
    from = end + 1;
  }
  return true;
}

bool parse_permittivity(const std::string& text, double& value) {
  if (text.empty()) return false;
  for (char c : text) {
    if (!is_digit(c) && c != '.' && c != 'e' && c != 'E' && c != '+' && c != '-') return false;
  }
  char* end = nullptr;
  value = std::strtod(text.c_str(), &end);
  return end == text.c_str() + text.size() && std::isfinite(value) && value > 0;
}

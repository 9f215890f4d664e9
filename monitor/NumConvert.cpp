// SPDX-License-Identifier: GPL-3.0-or-later
#include "monitor/NumConvert.h"

#include "platform/Exception.h"

#include <charconv>
#include <string>

namespace vemo {

namespace {

[[noreturn]] void NotAnInteger(std::string_view text) {
  throw EConvertError("'" + std::string(text) + "' is not a valid integer value");
}

[[noreturn]] void NotAFloat(std::string_view text) {
  throw EConvertError("'" + std::string(text) + "' is not a valid floating point value");
}

bool IsDigit(char c) {
  return c >= '0' && c <= '9';
}

int HexValue(char c) {
  if (IsDigit(c)) return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

}  // namespace

int32_t StrToInt(std::string_view text) {
  size_t pos = 0;
  while (pos < text.size() && text[pos] == ' ') ++pos;
  bool negative = false;
  if (pos < text.size() && (text[pos] == '-' || text[pos] == '+')) negative = text[pos++] == '-';
  const bool hex = pos < text.size() && text[pos] == '$';
  if (hex) ++pos;
  if (pos == text.size()) NotAnInteger(text);

  uint64_t value = 0;
  for (; pos < text.size(); ++pos) {
    const int digit = hex ? HexValue(text[pos]) : (IsDigit(text[pos]) ? text[pos] - '0' : -1);
    if (digit < 0) NotAnInteger(text);
    value = value * (hex ? 16 : 10) + static_cast<uint64_t>(digit);
    if (value > 0xFFFFFFFFull) NotAnInteger(text);
  }
  if (hex) {
    const auto pattern = static_cast<uint32_t>(value);
    return static_cast<int32_t>(negative ? 0u - pattern : pattern);
  }
  if (value > (negative ? 0x80000000ull : 0x7FFFFFFFull)) NotAnInteger(text);
  return negative ? static_cast<int32_t>(-static_cast<int64_t>(value))
                  : static_cast<int32_t>(value);
}

double StrToFloat(std::string_view text) {
  size_t pos = 0;
  while (pos < text.size() && text[pos] == ' ') ++pos;
  const size_t start = pos;
  if (pos < text.size() && (text[pos] == '-' || text[pos] == '+')) ++pos;
  size_t digits = 0;
  while (pos < text.size() && IsDigit(text[pos])) ++pos, ++digits;
  if (pos < text.size() && text[pos] == '.') {
    ++pos;
    while (pos < text.size() && IsDigit(text[pos])) ++pos, ++digits;
  }
  if (digits == 0) NotAFloat(text);
  if (pos < text.size() && (text[pos] == 'E' || text[pos] == 'e')) {
    ++pos;
    if (pos < text.size() && (text[pos] == '-' || text[pos] == '+')) ++pos;
    size_t expDigits = 0;
    while (pos < text.size() && IsDigit(text[pos])) ++pos, ++expDigits;
    if (expDigits == 0) NotAFloat(text);
  }
  const size_t end = pos;
  while (pos < text.size() && text[pos] == ' ') ++pos;
  if (pos != text.size()) NotAFloat(text);

  // The syntax is checked above; from_chars converts locale-independently but takes no "+".
  size_t first = start;
  const bool negative = text[first] == '-';
  if (text[first] == '-' || text[first] == '+') ++first;
  double value = 0;
  const auto [stop, error] = std::from_chars(text.data() + first, text.data() + end, value);
  if (error != std::errc() || stop != text.data() + end) NotAFloat(text);
  return negative ? -value : value;
}

}  // namespace vemo

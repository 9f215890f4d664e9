// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/controls/NumberText.h"

#include <algorithm>
#include <charconv>
#include <string>
#include <system_error>

#include "platform/Exception.h"

namespace vemo {
namespace {

bool IsDigit(QChar c) {
  return c >= u'0' && c <= u'9';
}
bool IsSign(QChar c) {
  return c == u'+' || c == u'-';
}

struct Cursor {
  QStringView t;
  qsizetype i = 0;
  bool AtEnd() const { return i >= t.size(); }
  QChar Peek() const { return AtEnd() ? QChar() : t[i]; }
  int SkipDigits() {
    int count = 0;
    while (!AtEnd() && IsDigit(t[i])) ++i, ++count;
    return count;
  }
  bool SkipBlanks() {
    const qsizetype from = i;
    while (!AtEnd() && t[i].isSpace()) ++i;
    return i > from;
  }
};

// The power of ten of the first significant digit of a checked number ("-0.05e3": 1),
// saturated far beyond any double: tells an overflow from an underflow.
long long DecimalMagnitude(const std::string& number) {
  size_t i = number[0] == '-' ? 1 : 0;
  long long magnitude = 0;
  bool significant = false;
  for (; i < number.size() && number[i] >= '0' && number[i] <= '9'; ++i) {
    if (significant) ++magnitude;
    significant = significant || number[i] != '0';
  }
  if (i < number.size() && number[i] == '.') {
    for (++i; i < number.size() && number[i] >= '0' && number[i] <= '9'; ++i) {
      if (significant) continue;
      --magnitude;
      significant = number[i] != '0';
    }
  }
  if (i < number.size()) {  // the exponent
    const bool negative = number[++i] == '-';
    if (number[i] == '-' || number[i] == '+') ++i;
    long long exponent = 0;
    for (; i < number.size(); ++i)
      exponent = std::min(exponent * 10 + (number[i] - '0'), 1LL << 40);
    magnitude += negative ? -exponent : exponent;
  }
  return magnitude;
}

}  // namespace

NumberText ScanReal(QStringView text, double* value) {
  Cursor c{text};
  bool blanks = c.SkipBlanks();
  const qsizetype start = c.i;
  if (IsSign(c.Peek())) ++c.i;
  int mantissaDigits = c.SkipDigits();
  if (c.Peek() == u'.') {
    ++c.i;
    mantissaDigits += c.SkipDigits();
  }
  bool hasExponent = false;
  int exponentDigits = 0;
  if (c.Peek() == u'E' || c.Peek() == u'e') {
    hasExponent = true;
    ++c.i;
    if (IsSign(c.Peek())) ++c.i;
    exponentDigits = c.SkipDigits();
  }
  const qsizetype end = c.i;
  blanks = c.SkipBlanks() || blanks;
  if (!c.AtEnd()) return NumberText::Invalid;
  if (mantissaDigits == 0) {
    return hasExponent || blanks ? NumberText::Invalid : NumberText::Started;
  }
  if (hasExponent && exponentDigits == 0) {
    return blanks ? NumberText::Invalid : NumberText::Started;
  }

  // Everything left is ASCII; from_chars takes no leading "+" and ignores the locale.
  std::string ascii;
  for (qsizetype k = start; k < end; ++k) {
    if (k == start && text[k] == u'+') continue;
    ascii.push_back(static_cast<char>(text[k].unicode()));
  }
  double v = 0;
  const auto [ptr, ec] = std::from_chars(ascii.data(), ascii.data() + ascii.size(), v);
  if (ec == std::errc::result_out_of_range) {
    // Too large or too small, whatever the exponent's sign says: "1<400 zeros>e-5" overflows.
    if (DecimalMagnitude(ascii) > 0) return NumberText::Invalid;
    v = 0;
  } else if (ec != std::errc{} || ptr != ascii.data() + ascii.size()) {
    return NumberText::Invalid;
  }
  if (value) *value = v;
  return NumberText::Number;
}

NumberText ScanInteger(QStringView text, int32_t* value) {
  Cursor c{text};
  bool blanks = c.SkipBlanks();
  bool negative = false;
  if (IsSign(c.Peek())) negative = c.t[c.i++] == u'-';
  const qsizetype firstDigit = c.i;
  const int digits = c.SkipDigits();
  const qsizetype end = c.i;
  blanks = c.SkipBlanks() || blanks;
  if (!c.AtEnd()) return NumberText::Invalid;
  if (digits == 0) return blanks ? NumberText::Invalid : NumberText::Started;

  const int64_t limit = negative ? 2147483648LL : 2147483647LL;
  int64_t magnitude = 0;
  for (qsizetype k = firstDigit; k < end; ++k) {
    magnitude = magnitude * 10 + (text[k].unicode() - u'0');
    if (magnitude > limit) return NumberText::Invalid;
  }
  if (value) *value = static_cast<int32_t>(negative ? -magnitude : magnitude);
  return NumberText::Number;
}

int32_t StrToInt(const QString& text) {
  int32_t v = 0;
  if (ScanInteger(text, &v) != NumberText::Number) {
    throw EConvertError("'" + text.toStdString() + "' is not a valid integer value");
  }
  return v;
}

}  // namespace vemo

// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/controls/FormatFloat.h"

#include <QStringList>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace vemo {
namespace {

constexpr int kSignificantDigits = 15;
// Fixed patterns give way to the general format beyond this many integer digits.
constexpr int kMaxFixedIntegerDigits = 18;

// |value| = 0.d1d2d3... x 10^exponent. digits has no trailing zeros and is empty for zero.
struct Decimal {
  std::string digits;
  int exponent = 0;
  bool IsZero() const { return digits.empty(); }
};

void TrimTrailingZeros(Decimal& d) {
  while (!d.digits.empty() && d.digits.back() == '0') d.digits.pop_back();
  if (d.digits.empty()) d.exponent = 0;
}

Decimal ToDecimal(double magnitude) {
  Decimal d;
  if (magnitude == 0) return d;
  char buf[48];
  std::snprintf(buf, sizeof buf, "%.*e", kSignificantDigits - 1, magnitude);
  // buf holds "d.dddddddddddddde[+-]xx"; the point is whatever the C locale makes it.
  const char* p = buf;
  for (; *p != 'e'; ++p) {
    if (*p >= '0' && *p <= '9') d.digits.push_back(*p);
  }
  d.exponent = std::atoi(p + 1) + 1;
  TrimTrailingZeros(d);
  return d;
}

// Keeps the first `keep` significant digits, rounding half away from zero.
void RoundTo(Decimal& d, int keep) {
  if (keep >= static_cast<int>(d.digits.size())) return;
  if (keep < 0) {
    d = Decimal{};
    return;
  }
  const bool up = d.digits[keep] >= '5';
  d.digits.resize(keep);
  if (up) {
    int i = keep - 1;
    while (i >= 0 && d.digits[i] == '9') d.digits[i--] = '0';
    if (i >= 0) {
      ++d.digits[i];
    } else {
      d.digits.insert(d.digits.begin(), '1');
      ++d.exponent;
    }
  }
  TrimTrailingZeros(d);
}

// The digit at decimal position `index` counted from the first significant digit.
char DigitAt(const Decimal& d, int index) {
  return index >= 0 && index < static_cast<int>(d.digits.size()) ? d.digits[index] : '0';
}

QString GeneralMagnitude(const Decimal& d) {
  if (d.IsZero()) return QStringLiteral("0");
  const int size = static_cast<int>(d.digits.size());
  std::string out;
  if (d.exponent > kSignificantDigits || d.exponent < -4) {
    out.push_back(d.digits[0]);
    if (size > 1) out += "." + d.digits.substr(1);
    out += "E" + std::to_string(d.exponent - 1);
  } else if (d.exponent <= 0) {
    out = "0." + std::string(-d.exponent, '0') + d.digits;
  } else if (size <= d.exponent) {
    out = d.digits + std::string(d.exponent - size, '0');
  } else {
    out = d.digits.substr(0, d.exponent) + "." + d.digits.substr(d.exponent);
  }
  return QString::fromLatin1(out);
}

struct Token {
  enum Kind { IntDigit, FracDigit, Point, Literal, Exponent } kind;
  int index = 0;  // placeholder number within the integer or fraction part
  QString text;   // literal text
};

struct Section {
  std::vector<Token> tokens;
  int intPlaces = 0;  // integer placeholders
  int intMin = 0;     // integer digits always shown (from the first "0" on)
  int fracMax = 0;    // fraction placeholders
  int fracMin = 0;    // fraction digits always shown (up to the last "0")
  bool thousands = false;
  bool scientific = false;
  QChar expChar;
  bool expAlwaysSigned = false;
  int expMinDigits = 0;

  bool HasPlaceholders() const { return intPlaces > 0 || fracMax > 0; }
};

Section ParseSection(const QString& s) {
  Section sec;
  bool point = false;
  int firstZero = -1;
  const qsizetype n = s.size();
  for (qsizetype i = 0; i < n; ++i) {
    const QChar c = s[i];
    if (c == u'\'' || c == u'"') {
      const qsizetype close = s.indexOf(c, i + 1);
      const qsizetype end = close < 0 ? n : close;
      sec.tokens.push_back({Token::Literal, 0, s.mid(i + 1, end - i - 1)});
      i = end;
    } else if (sec.scientific && (c == u'0' || c == u'#' || c == u'.' || c == u',')) {
      // Placeholders after the exponent have nothing left to show.
    } else if (c == u'0' || c == u'#') {
      if (!point) {
        if (c == u'0' && firstZero < 0) firstZero = sec.intPlaces;
        sec.tokens.push_back({Token::IntDigit, sec.intPlaces++, {}});
      } else {
        sec.tokens.push_back({Token::FracDigit, sec.fracMax++, {}});
        if (c == u'0') sec.fracMin = sec.fracMax;
      }
    } else if (c == u'.') {
      if (!point) sec.tokens.push_back({Token::Point, 0, {}});
      point = true;
    } else if (c == u',') {
      sec.thousands = true;
    } else if ((c == u'E' || c == u'e') && i + 1 < n && (s[i + 1] == u'+' || s[i + 1] == u'-')) {
      sec.scientific = true;
      sec.expChar = c;
      sec.expAlwaysSigned = s[i + 1] == u'+';
      ++i;
      int zeros = 0;
      while (i + 1 < n && s[i + 1] == u'0') {
        ++zeros;
        ++i;
      }
      sec.expMinDigits = std::min(zeros, 4);
      sec.tokens.push_back({Token::Exponent, 0, {}});
    } else {
      sec.tokens.push_back({Token::Literal, 0, QString(c)});
    }
  }
  sec.intMin = firstZero < 0 ? 0 : sec.intPlaces - firstZero;
  return sec;
}

struct Rendered {
  QString text;
  bool zero = false;  // the value rounded to zero in this section
};

Rendered RenderSection(const Section& sec, Decimal mag) {
  std::string intDigits;
  std::string frac;
  int exp10 = 0;
  if (sec.scientific) {
    const int lead = std::max(sec.intPlaces, 1);
    RoundTo(mag, lead + sec.fracMax);
    if (!mag.IsZero()) exp10 = mag.exponent - lead;
    for (int k = 0; k < lead; ++k) intDigits.push_back(DigitAt(mag, k));
    for (int k = 0; k < sec.fracMax; ++k) frac.push_back(DigitAt(mag, lead + k));
  } else {
    RoundTo(mag, mag.exponent + sec.fracMax);
    for (int k = 0; k < mag.exponent; ++k) intDigits.push_back(DigitAt(mag, k));
    for (int k = 0; k < sec.fracMax; ++k) frac.push_back(DigitAt(mag, mag.exponent + k));
  }
  if (intDigits.size() < static_cast<size_t>(sec.intMin)) {
    intDigits.insert(0, sec.intMin - intDigits.size(), '0');
  }
  while (frac.size() > static_cast<size_t>(sec.fracMin) && frac.back() == '0') frac.pop_back();

  QString out;
  const int n = static_cast<int>(intDigits.size());
  auto emitInt = [&](int from, int to) {
    for (int k = std::max(from, 0); k <= to; ++k) {
      out += QChar::fromLatin1(intDigits[k]);
      const int rest = n - 1 - k;
      if (sec.thousands && rest > 0 && rest % 3 == 0) out += u',';
    }
  };
  // Without integer placeholders the integer digits stand just before the point.
  bool intEmitted = sec.intPlaces > 0 || !sec.HasPlaceholders();
  auto flushInt = [&] {
    if (!intEmitted) emitInt(0, n - 1);
    intEmitted = true;
  };
  for (const Token& t : sec.tokens) {
    switch (t.kind) {
      case Token::IntDigit: {
        // Digits are right-aligned on the placeholders; the first one takes any excess.
        const int idx = n - sec.intPlaces + t.index;
        emitInt(t.index == 0 ? 0 : idx, idx);
        break;
      }
      case Token::Point:
        flushInt();
        if (!frac.empty()) out += u'.';
        break;
      case Token::FracDigit:
        if (t.index < static_cast<int>(frac.size())) out += QChar::fromLatin1(frac[t.index]);
        break;
      case Token::Literal:
        out += t.text;
        break;
      case Token::Exponent: {
        flushInt();
        out += sec.expChar;
        if (exp10 < 0) {
          out += u'-';
        } else if (sec.expAlwaysSigned) {
          out += u'+';
        }
        out += QString::number(std::abs(exp10)).rightJustified(sec.expMinDigits, u'0');
        break;
      }
    }
  }
  flushInt();
  return {out, mag.IsZero()};
}

QStringList SplitSections(const QString& pattern) {
  QStringList sections;
  QString current;
  QChar quote;
  for (QChar c : pattern) {
    if (!quote.isNull()) {
      if (c == quote) quote = QChar();
    } else if (c == u'\'' || c == u'"') {
      quote = c;
    } else if (c == u';') {
      sections << current;
      current.clear();
      continue;
    }
    current += c;
  }
  sections << current;
  return sections;
}

}  // namespace

QString FloatToStr(double value) {
  if (std::isnan(value)) return QStringLiteral("NAN");
  if (std::isinf(value)) return value > 0 ? QStringLiteral("INF") : QStringLiteral("-INF");
  const Decimal mag = ToDecimal(std::fabs(value));
  const QString text = GeneralMagnitude(mag);
  return value < 0 && !mag.IsZero() ? u'-' + text : text;
}

QString FormatFloat(const QString& pattern, double value) {
  if (std::isnan(value) || std::isinf(value)) return FloatToStr(value);
  const QStringList sections = SplitSections(pattern);
  if (sections[0].isEmpty()) return FloatToStr(value);

  const bool negative = value < 0;
  const Decimal mag = ToDecimal(std::fabs(value));
  const bool ownNegativeSection = negative && sections.size() >= 2 && !sections[1].isEmpty();
  const Section sec = ParseSection(sections[ownNegativeSection ? 1 : 0]);
  if (!sec.scientific && mag.exponent > kMaxFixedIntegerDigits) return FloatToStr(value);

  const Rendered r = RenderSection(sec, mag);
  if (r.zero) {
    // A value that rounds to zero is shown as zero: the zero section if there is one, and
    // never with a minus sign.
    if (sections.size() >= 3 && !sections[2].isEmpty()) {
      return RenderSection(ParseSection(sections[2]), Decimal{}).text;
    }
    return r.text;
  }
  return negative && !ownNegativeSection ? u'-' + r.text : r.text;
}

}  // namespace vemo

// SPDX-License-Identifier: GPL-3.0-or-later
#include "station/SpokenReading.h"

#include <QCoreApplication>
#include <QStringList>

#include <array>
#include <cmath>

namespace vemo {

namespace {

constexpr std::array<const char*, 20> kOnes = {
    "zero",     "one",     "two",     "three",     "four",     "five",    "six",
    "seven",    "eight",   "nine",    "ten",       "eleven",   "twelve",  "thirteen",
    "fourteen", "fifteen", "sixteen", "seventeen", "eighteen", "nineteen"};
constexpr std::array<const char*, 10> kTens = {"",      "",      "twenty",  "thirty", "forty",
                                               "fifty", "sixty", "seventy", "eighty", "ninety"};

QString Tr(const char* text) {
  return QCoreApplication::translate("SpokenReading", text);
}

// 0..999.
QString Hundreds(int n) {
  QStringList words;
  if (n >= 100) {
    words << QString::fromLatin1(kOnes[static_cast<size_t>(n / 100)]) << QStringLiteral("hundred");
    n %= 100;
    if (n == 0) return words.join(u' ');
  }
  if (n < 20) {
    words << QString::fromLatin1(kOnes[static_cast<size_t>(n)]);
  } else {
    QString tens = QString::fromLatin1(kTens[static_cast<size_t>(n / 10)]);
    if (n % 10) tens += u'-' + QString::fromLatin1(kOnes[static_cast<size_t>(n % 10)]);
    words << tens;
  }
  return words.join(u' ');
}

QString WholeInWords(long long n) {
  if (n < 1000) return Hundreds(static_cast<int>(n));
  if (n >= 1'000'000'000) return QString::number(n);
  QStringList words;
  if (n >= 1'000'000) {
    words << Hundreds(static_cast<int>(n / 1'000'000)) << QStringLiteral("million");
    n %= 1'000'000;
  }
  if (n >= 1000) {
    words << Hundreds(static_cast<int>(n / 1000)) << QStringLiteral("thousand");
    n %= 1000;
  }
  if (n > 0) words << Hundreds(static_cast<int>(n));
  return words.join(u' ');
}

bool SpeaksEnglish(const QLocale& locale) {
  // The C locale is what the program sets for its read-outs; people then hear English.
  return locale.language() == QLocale::English || locale.language() == QLocale::C;
}

}  // namespace

QString NumberInWords(double x, int decimals) {
  if (!std::isfinite(x)) return QString::number(x);
  const double scale = std::pow(10.0, decimals);
  const long long scaled = std::llround(std::fabs(x) * scale);
  const long long whole = scaled / static_cast<long long>(scale);
  QString text = WholeInWords(whole);
  if (decimals > 0) {
    const QString digits =
        QString::number(scaled % static_cast<long long>(scale)).rightJustified(decimals, u'0');
    text += QStringLiteral(" point");
    for (const QChar digit : digits)
      text += u' ' + QString::fromLatin1(kOnes[static_cast<size_t>(digit.digitValue())]);
  }
  if (x < 0 && scaled != 0) text.prepend(QStringLiteral("minus "));
  return text;
}

QString SpokenNumber(double x, int decimals, const QLocale& locale) {
  return SpeaksEnglish(locale) ? NumberInWords(x, decimals) : locale.toString(x, 'f', decimals);
}

QString SpokenPower(double watts, const QLocale& locale) {
  if (!std::isfinite(watts)) return Tr("unknown power");
  const double a = std::fabs(watts);
  // Rounding first, so 999.6 W is "one point zero kilowatts", not "one thousand watts".
  if (std::round(a) >= 1000) return Tr("%1 kilowatts").arg(SpokenNumber(watts / 1000, 1, locale));
  if (std::round(a * 10) / 10 >= 10) return Tr("%1 watts").arg(SpokenNumber(watts, 0, locale));
  if (std::round(a * 10) == 10) return Tr("one watt");
  return Tr("%1 watts").arg(SpokenNumber(watts, 1, locale));
}

QString SpokenVSWR(double vswr, const QLocale& locale) {
  if (!std::isfinite(vswr) || vswr < 1) return Tr("no forward power");
  if (vswr > 10) return Tr("more than ten to one");
  return Tr("%1 to one").arg(SpokenNumber(vswr, 1, locale));
}

QString SpokenReading(double forward, double reflected, double vswr, const QLocale& locale) {
  return Tr("Forward %1, reflected %2, SWR %3")
      .arg(SpokenPower(forward, locale), SpokenPower(reflected, locale), SpokenVSWR(vswr, locale));
}

}  // namespace vemo

// SPDX-License-Identifier: GPL-3.0-or-later
#include "monitor/DateTime.h"

#include "platform/Exception.h"

#include <cmath>
#include <cstdio>

namespace vemo {

namespace {

// Days from 1970-01-01 to the given proleptic Gregorian date (Howard Hinnant's algorithm).
long DaysFromCivil(long y, unsigned m, unsigned d) {
  y -= m <= 2;
  const long era = (y >= 0 ? y : y - 399) / 400;
  const unsigned yoe = static_cast<unsigned>(y - era * 400);
  const unsigned doy = (153 * (m > 2 ? m - 3 : m + 9) + 2) / 5 + d - 1;
  const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + static_cast<long>(doe) - 719468;
}

void CivilFromDays(long z, int& year, int& month, int& day) {
  z += 719468;
  const long era = (z >= 0 ? z : z - 146096) / 146097;
  const unsigned doe = static_cast<unsigned>(z - era * 146097);
  const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const long y = static_cast<long>(yoe) + era * 400;
  const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const unsigned mp = (5 * doy + 2) / 153;
  day = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
  month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
  year = static_cast<int>(y + (month <= 2));
}

// 1899-12-30 counted from 1970-01-01.
constexpr long kEpochOffset = -25569;

bool IsLeapYear(int year) {
  return year % 4 == 0 && (year % 100 != 0 || year % 400 == 0);
}

int DaysInMonth(int year, int month) {
  static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  return month == 2 && IsLeapYear(year) ? 29 : kDays[month - 1];
}

// One number of a date text: blanks, then 1 to 9 digits. Advances pos.
bool ScanNumber(std::string_view text, size_t& pos, int& value) {
  while (pos < text.size() && text[pos] == ' ') ++pos;
  const size_t start = pos;
  value = 0;
  while (pos < text.size() && text[pos] >= '0' && text[pos] <= '9' && pos - start < 9) {
    value = value * 10 + (text[pos] - '0');
    ++pos;
  }
  return pos > start;
}

}  // namespace

bool TryEncodeDate(int year, int month, int day, TDateTime& date) {
  if (year < 1 || year > 9999 || month < 1 || month > 12 || day < 1 ||
      day > DaysInMonth(year, month))
    return false;
  date = static_cast<TDateTime>(
      DaysFromCivil(year, static_cast<unsigned>(month), static_cast<unsigned>(day)) - kEpochOffset);
  return true;
}

TDateTime EncodeDate(int year, int month, int day) {
  TDateTime date = 0;
  if (!TryEncodeDate(year, month, day, date))
    throw EConvertError("Invalid argument to date encode");
  return date;
}

void DecodeDate(TDateTime date, int& year, int& month, int& day) {
  CivilFromDays(static_cast<long>(std::floor(date)) + kEpochOffset, year, month, day);
}

TDateTime StrToDate(std::string_view text) {
  size_t pos = 0;
  int month = 0, day = 0, year = 0;
  TDateTime date = 0;
  const bool ok = ScanNumber(text, pos, month) && pos < text.size() && text[pos++] == '/' &&
                  ScanNumber(text, pos, day) && pos < text.size() && text[pos++] == '/' &&
                  ScanNumber(text, pos, year);
  while (ok && pos < text.size() && text[pos] == ' ') ++pos;
  if (!ok || pos != text.size() || !TryEncodeDate(year, month, day, date))
    throw EConvertError("'" + std::string(text) + "' is not a valid date");
  return date;
}

std::string DateToStr(TDateTime date) {
  int y = 0, m = 0, d = 0;
  DecodeDate(date, y, m, d);
  char text[32];
  std::snprintf(text, sizeof text, "%d/%d/%d", m, d, y);
  return text;
}

std::string DateToIso(TDateTime date) {
  int y = 0, m = 0, d = 0;
  DecodeDate(date, y, m, d);
  char text[32];
  std::snprintf(text, sizeof text, "%04d-%02d-%02d", y, m, d);
  return text;
}

}  // namespace vemo

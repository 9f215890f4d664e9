// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Calendar dates as a day count: day 0 is 1899-12-30, day 1 is 1899-12-31, and so on;
// days before day 0 are negative. The fractional part (time of day) is not used here.
// The monitor's firmware date and the model support table work in these day numbers.

#include <string>
#include <string_view>

namespace vemo {

using TDateTime = double;

// False for a date that does not exist (month 13, 2003-02-29, year 0 ...).
bool TryEncodeDate(int year, int month, int day, TDateTime& date);
// Raises EConvertError "Invalid argument to date encode" for a date that does not exist.
TDateTime EncodeDate(int year, int month, int day);
// Calendar date of the day that holds `date` (the fraction is dropped towards the past).
void DecodeDate(TDateTime date, int& year, int& month, int& day);

// Reads "m/d/yyyy": month, day and year as decimal numbers separated by "/", blanks
// allowed around each number. Raises EConvertError "'<text>' is not a valid date".
TDateTime StrToDate(std::string_view text);
// "m/d/yyyy" without leading zeros, e.g. "3/15/2010".
std::string DateToStr(TDateTime date);
// "yyyy-mm-dd", e.g. "2010-03-15".
std::string DateToIso(TDateTime date);

}  // namespace vemo

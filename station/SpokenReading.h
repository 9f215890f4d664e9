// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// What the talking meter says: a reading phrased as a person would say it aloud ("forward
// forty-seven watts, reflected one point two watts, SWR one point three to one"). English
// numbers are spelled out in words; in other languages the numbers stay digits with the
// locale's decimal sign, which the speech engine reads in that language.

#include <QLocale>
#include <QString>

namespace vemo {

// x spelled out with decimals digits after the point, each said singly as people read
// them: 47 -> "forty-seven", 1.25 with 2 -> "one point two five", -3 -> "minus three".
// Whole parts beyond the millions come as digits.
QString NumberInWords(double x, int decimals);

// A number for speech: words for English, locale digits otherwise.
QString SpokenNumber(double x, int decimals, const QLocale& locale);

// A power rounded the way a meter is read aloud: tenths below 10 W, whole watts up to
// 999 W, kilowatts with tenths above: "forty-seven watts", "one point five kilowatts".
QString SpokenPower(double watts, const QLocale& locale);

// "one point three to one"; "no forward power" when VSWR cannot be judged (infinite or
// NaN), "more than ten to one" above 10.
QString SpokenVSWR(double vswr, const QLocale& locale);

// The whole reading: forward, reflected, VSWR.
QString SpokenReading(double forward, double reflected, double vswr, const QLocale& locale);

}  // namespace vemo

// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The numeric edit controls' text-to-number conversions. Widget-free; "." is the decimal
// separator whatever the locale.

#include <QString>
#include <QStringView>

#include <cstdint>

namespace vemo {

// What a text is to a number conversion.
enum class NumberText {
  Invalid,  // not a number, and no typing at its end can make it one
  Started,  // a number just being started: "", "-", "+", ".", "-.", "1E", "1E-"
  Number,   // a number
};

// Reals: optional blanks, an optional sign, digits with at most one ".", an optional
// exponent ("E" or "e", optional sign, digits), optional blanks; at least one mantissa
// digit. Overflow is Invalid; underflow reads as 0. *value is set only for Number.
NumberText ScanReal(QStringView text, double* value = nullptr);

// 32-bit signed integers: optional blanks, an optional sign, decimal digits, optional
// blanks. A number outside -2147483648..2147483647 is Invalid.
NumberText ScanInteger(QStringView text, int32_t* value = nullptr);

// The run-time library's StrToInt: the value of text, or EConvertError
// "'<text>' is not a valid integer value".
int32_t StrToInt(const QString& text);

}  // namespace vemo

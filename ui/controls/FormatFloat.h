// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Number formatting through a picture pattern, the way the program's read-outs and numeric
// edit controls show their values. Widget-free; "." is the decimal separator and "," the
// thousands separator whatever the locale.

#include <QString>

namespace vemo {

// Formats value with a pattern made of:
//   0        digit placeholder: a digit, or "0" where the value has none;
//   #        digit placeholder: a digit, or nothing where the value has none;
//   .        the first one places the decimal point (further ones are ignored);
//   ,        anywhere: group the integer digits by thousands;
//   E+ E- e+ e-  scientific notation; the zeros right after it give the exponent's minimum
//            digits (at most 4); "+" always writes the exponent's sign, "-" only when negative;
//   'x' "x"  quoted literal text; any other character is copied as it is;
//   ;        separates the sections for positive, negative and zero values. A negative value
//            shown through the first section gets a leading "-"; an empty negative or zero
//            section falls back to the first one.
// Rounding is half away from zero on the value's 15 significant digits, so 0.125 with "0.00"
// gives "0.13". An empty pattern (or an empty first section) gives the general format.
QString FormatFloat(const QString& pattern, double value);

// The general format: the shortest text of the value's 15 significant digits, in fixed
// notation when 0.00001 <= |value| < 1E15 and otherwise as mantissa, "E" and exponent
// ("1E15", "1.5E-7"). Not-a-number and infinities read "NAN", "INF" and "-INF".
QString FloatToStr(double value);

}  // namespace vemo

// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Numbers in the monitor's replies. Both functions raise EConvertError with the text
// the user reads; the session puts "$" before hexadecimal fields itself.

#include <cstdint>
#include <string_view>

namespace vemo {

// Leading blanks, an optional "-" or "+", then decimal digits; "$" after the sign makes
// the digits hexadecimal. Nothing may follow. The value must fit 32 bits (hexadecimal
// values up to $FFFFFFFF wrap to negative numbers as a 32-bit pattern).
// Raises "'<text>' is not a valid integer value".
int32_t StrToInt(std::string_view text);

// Blanks allowed before and after; optional sign, digits with "." as decimal point, an
// optional exponent introduced by "E" or "e". Raises "'<text>' is not a valid floating
// point value", also for a value beyond the range of a double (either way).
double StrToFloat(std::string_view text);

}  // namespace vemo

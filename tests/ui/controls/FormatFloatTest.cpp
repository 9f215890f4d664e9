// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/controls/FormatFloat.h"

#include <gtest/gtest.h>

#include <limits>

namespace vemo {
namespace {

struct FormatCase {
  const char* pattern;
  double value;
  const char* expected;
};

// The program's own patterns first, then the rest of the pattern language.
constexpr FormatCase kCases[] = {{"0.00", 0, "0.00"},
                                 {"0.00", 6.7, "6.70"},
                                 {"0.00", 0.94f, "0.94"},
                                 {"0.00", 0.125, "0.13"},
                                 {"0.00", 2.675, "2.68"},
                                 {"0.00", 0.995, "1.00"},
                                 {"0.00", -0.125, "-0.13"},
                                 {"0.00", -0.001, "0.00"},
                                 {"0.00", 1e20, "1E20"},
                                 {"00.00", 5.5, "05.50"},
                                 {"00.00", 123.456, "123.46"},
                                 {"00.00", 99.999, "100.00"},
                                 {"0.000", 0.0625, "0.063"},
                                 {"0.000", -3.0004, "-3.000"},
                                 {"", 0, "0"},
                                 {"", 1000, "1000"},
                                 {"", 6.7, "6.7"},
                                 {"", 2.0 / 3, "0.666666666666667"},
                                 {"", 123456789012345, "123456789012345"},
                                 {"", 1e15, "1E15"},
                                 {"", 0.00001, "0.00001"},
                                 {"", -1.5e-7, "-1.5E-7"},
                                 {"", -2147483648.0, "-2147483648"},
                                 {"0", 2.5, "3"},
                                 {"0", -0.5, "-1"},
                                 {"#.##", 0.5, ".5"},
                                 {"#", 0, ""},
                                 {"0.##", 5, "5"},
                                 {"0.0#", 5.256, "5.26"},
                                 {"000", 7, "007"},
                                 {"#,##0", 999, "999"},
                                 {"#,##0", -1234567, "-1,234,567"},
                                 {"#,##0.00", 1234567.891, "1,234,567.89"},
                                 {".00", 12.5, "12.50"},
                                 {"00-00", 1234, "12-34"},
                                 {"0.00.0", 1.5, "1.500"},
                                 {"0.00E+00", 1234, "1.23E+03"},
                                 {"0.00E-00", 1234, "1.23E03"},
                                 {"0.00e-0", 0.00012, "1.20e-4"},
                                 {"0.00E+00", 9.999, "1.00E+01"},
                                 {"0.0E+0", 0, "0.0E+0"},
                                 {"00.0E+0", 1234, "12.3E+2"},
                                 {"0.###E+0000", 6.02e23, "6.02E+0023"},
                                 {"0E+0", -25, "-3E+1"},
                                 {"0.00;(0.00)", -5, "(5.00)"},
                                 {"0.00;(0.00);\"zero\"", 0, "zero"},
                                 {"0.00;(0.00);'zero'", -0.001, "zero"},
                                 {"0.00;;\"zero\"", -5, "-5.00"},
                                 {";0.0", 5, "5"},
                                 {"0.00 'W'", 5, "5.00 W"},
                                 {"\"a;b\"0", 5, "a;b5"},
                                 {"'#0'0", 7, "#07"},
                                 {"0 \"open", 3, "3 open"}};

TEST(FormatFloat, PatternsFormatExactly) {
  for (const FormatCase& c : kCases) {
    EXPECT_EQ(FormatFloat(c.pattern, c.value).toStdString(), c.expected)
        << '"' << c.pattern << "\" with " << c.value;
  }
}

TEST(FormatFloat, NotANumberAndInfinitiesHaveNames) {
  const double inf = std::numeric_limits<double>::infinity();
  EXPECT_EQ(FormatFloat("0.00", std::numeric_limits<double>::quiet_NaN()), "NAN");
  EXPECT_EQ(FormatFloat("0.00", inf), "INF");
  EXPECT_EQ(FormatFloat("", -inf), "-INF");
  EXPECT_EQ(FloatToStr(-0.0), "0");
}

}  // namespace
}  // namespace vemo

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

void PrintTo(const FormatCase& c, std::ostream* os) {
  *os << '"' << c.pattern << "\" with " << c.value;
}

class FormatFloatPatterns : public testing::TestWithParam<FormatCase> {};

TEST_P(FormatFloatPatterns, FormatExactly) {
  const FormatCase& c = GetParam();
  EXPECT_EQ(FormatFloat(QString::fromUtf8(c.pattern), c.value).toStdString(), c.expected);
}

// The patterns the program itself uses.
INSTANTIATE_TEST_SUITE_P(
    ProgramPatterns, FormatFloatPatterns,
    testing::Values(FormatCase{"0.00", 0, "0.00"}, FormatCase{"0.00", 6.7, "6.70"},
                    FormatCase{"0.00", 0.94f, "0.94"}, FormatCase{"0.00", 0.125, "0.13"},
                    FormatCase{"0.00", 2.675, "2.68"}, FormatCase{"0.00", 0.995, "1.00"},
                    FormatCase{"0.00", -0.125, "-0.13"}, FormatCase{"0.00", -0.001, "0.00"},
                    FormatCase{"0.00", 14.0625, "14.06"}, FormatCase{"0.00", 1e20, "1E20"},
                    FormatCase{"00.00", 5.5, "05.50"}, FormatCase{"00.00", 0, "00.00"},
                    FormatCase{"00.00", 123.456, "123.46"}, FormatCase{"00.00", 99.999, "100.00"},
                    FormatCase{"0.000", 0.0625, "0.063"}, FormatCase{"0.000", 1.5, "1.500"},
                    FormatCase{"0.000", -3.0004, "-3.000"}, FormatCase{"", 0, "0"},
                    FormatCase{"", 1000, "1000"}, FormatCase{"", 6.7, "6.7"},
                    FormatCase{"", -2.5, "-2.5"}, FormatCase{"", 1.0 / 3, "0.333333333333333"},
                    FormatCase{"", 2.0 / 3, "0.666666666666667"},
                    FormatCase{"", 123456789012345, "123456789012345"},
                    FormatCase{"", 1e15, "1E15"}, FormatCase{"", 0.00001, "0.00001"},
                    FormatCase{"", 0.000001, "1E-6"}, FormatCase{"", -1.5e-7, "-1.5E-7"},
                    FormatCase{"", 2147483647, "2147483647"},
                    FormatCase{"", -2147483648.0, "-2147483648"}));

INSTANTIATE_TEST_SUITE_P(
    PlaceholdersAndGrouping, FormatFloatPatterns,
    testing::Values(FormatCase{"0", 1234.5, "1235"}, FormatCase{"0", 2.5, "3"},
                    FormatCase{"0", -0.5, "-1"}, FormatCase{"0", 0.4, "0"},
                    FormatCase{"#.##", 0.5, ".5"}, FormatCase{"#", 0, ""},
                    FormatCase{"0.##", 5, "5"}, FormatCase{"0.##", 5.1, "5.1"},
                    FormatCase{"0.0#", 5.2, "5.2"}, FormatCase{"0.0#", 5.256, "5.26"},
                    FormatCase{"000", 7, "007"}, FormatCase{"#,##0", 999, "999"},
                    FormatCase{"#,##0", 1000, "1,000"}, FormatCase{"#,##0", -1234567, "-1,234,567"},
                    FormatCase{"#,##0.00", 1234567.891, "1,234,567.89"},
                    FormatCase{"0,", 1234, "1,234"}, FormatCase{".00", 12.5, "12.50"},
                    FormatCase{"00-00", 1234, "12-34"}, FormatCase{"0.00.0", 1.5, "1.500"}));

INSTANTIATE_TEST_SUITE_P(ScientificNotation, FormatFloatPatterns,
                         testing::Values(FormatCase{"0.00E+00", 1234, "1.23E+03"},
                                         FormatCase{"0.00E-00", 1234, "1.23E03"},
                                         FormatCase{"0.00e-0", 0.00012, "1.20e-4"},
                                         FormatCase{"0.00E+00", 9.999, "1.00E+01"},
                                         FormatCase{"0.0E+0", 0, "0.0E+0"},
                                         FormatCase{"00.0E+0", 1234, "12.3E+2"},
                                         FormatCase{"0.###E+0000", 6.02e23, "6.02E+0023"},
                                         FormatCase{"0.0E+00000", 5, "5.0E+0000"},
                                         FormatCase{"0E+0", -25, "-3E+1"}));

INSTANTIATE_TEST_SUITE_P(
    SectionsAndLiterals, FormatFloatPatterns,
    testing::Values(FormatCase{"0.00;(0.00)", -5, "(5.00)"}, FormatCase{"0.00;(0.00)", 5, "5.00"},
                    FormatCase{"0.00;(0.00);\"zero\"", 0, "zero"},
                    FormatCase{"0.00;(0.00);'zero'", -0.001, "zero"},
                    FormatCase{"0.00;;\"zero\"", -5, "-5.00"}, FormatCase{"0.00;", -5, "-5.00"},
                    FormatCase{";0.0", 5, "5"}, FormatCase{"0.00 'W'", 5, "5.00 W"},
                    FormatCase{"\"a;b\"0", 5, "a;b5"}, FormatCase{"$0.00", 1.5, "$1.50"},
                    FormatCase{"'#0'0", 7, "#07"},
                    FormatCase{"0 \"unterminated", 3, "3 unterminated"}));

TEST(FormatFloatSpecialValues, NotANumberAndInfinitiesHaveNames) {
  const double inf = std::numeric_limits<double>::infinity();
  EXPECT_EQ(FormatFloat("0.00", std::numeric_limits<double>::quiet_NaN()), "NAN");
  EXPECT_EQ(FormatFloat("0.00", inf), "INF");
  EXPECT_EQ(FormatFloat("", -inf), "-INF");
  EXPECT_EQ(FloatToStr(-0.0), "0");
}

}  // namespace
}  // namespace vemo

#include "ui/controls/NumberText.h"

#include <gtest/gtest.h>

#include "platform/Exception.h"

namespace vemo {
namespace {

struct RealCase {
  const char* text;
  NumberText kind;
  double value;  // checked for Number
};

void PrintTo(const RealCase& c, std::ostream* os) {
  *os << '"' << c.text << '"';
}

class RealTexts : public testing::TestWithParam<RealCase> {};

TEST_P(RealTexts, ScanAsNumbersStartsOrNothing) {
  const RealCase& c = GetParam();
  double v = -999;
  EXPECT_EQ(ScanReal(QString::fromUtf8(c.text), &v), c.kind);
  if (c.kind == NumberText::Number) {
    EXPECT_DOUBLE_EQ(v, c.value);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Table, RealTexts,
    testing::Values(
        RealCase{"", NumberText::Started, 0}, RealCase{"-", NumberText::Started, 0},
        RealCase{"+", NumberText::Started, 0}, RealCase{".", NumberText::Started, 0},
        RealCase{"-.", NumberText::Started, 0}, RealCase{"1E", NumberText::Started, 0},
        RealCase{"1e-", NumberText::Started, 0}, RealCase{"12", NumberText::Number, 12},
        RealCase{"12.", NumberText::Number, 12}, RealCase{".5", NumberText::Number, 0.5},
        RealCase{"+6.7", NumberText::Number, 6.7}, RealCase{"-1.5E3", NumberText::Number, -1500},
        RealCase{"1e+2", NumberText::Number, 100}, RealCase{" 12 ", NumberText::Number, 12},
        RealCase{"1e-400", NumberText::Number, 0}, RealCase{"1..2", NumberText::Invalid, 0},
        RealCase{"1E5E", NumberText::Invalid, 0}, RealCase{"E5", NumberText::Invalid, 0},
        RealCase{"--1", NumberText::Invalid, 0}, RealCase{"1-", NumberText::Invalid, 0},
        RealCase{"1 2", NumberText::Invalid, 0}, RealCase{" -", NumberText::Invalid, 0},
        RealCase{"1E ", NumberText::Invalid, 0}, RealCase{"1,5", NumberText::Invalid, 0},
        RealCase{"0x10", NumberText::Invalid, 0}, RealCase{"inf", NumberText::Invalid, 0},
        RealCase{"nan", NumberText::Invalid, 0}, RealCase{"1e400", NumberText::Invalid, 0},
        RealCase{"\xd9\xa3", NumberText::Invalid, 0}));  // an Arabic-Indic digit

struct IntegerCase {
  const char* text;
  NumberText kind;
  int32_t value;
};

void PrintTo(const IntegerCase& c, std::ostream* os) {
  *os << '"' << c.text << '"';
}

class IntegerTexts : public testing::TestWithParam<IntegerCase> {};

TEST_P(IntegerTexts, ScanWithinTheSigned32BitRange) {
  const IntegerCase& c = GetParam();
  int32_t v = -999;
  EXPECT_EQ(ScanInteger(QString::fromUtf8(c.text), &v), c.kind);
  if (c.kind == NumberText::Number) {
    EXPECT_EQ(v, c.value);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Table, IntegerTexts,
    testing::Values(
        IntegerCase{"", NumberText::Started, 0}, IntegerCase{"-", NumberText::Started, 0},
        IntegerCase{"+", NumberText::Started, 0}, IntegerCase{"12", NumberText::Number, 12},
        IntegerCase{"+5", NumberText::Number, 5}, IntegerCase{" 7 ", NumberText::Number, 7},
        IntegerCase{"007", NumberText::Number, 7},
        IntegerCase{"2147483647", NumberText::Number, 2147483647},
        IntegerCase{"-2147483648", NumberText::Number, INT32_MIN},
        IntegerCase{"2147483648", NumberText::Invalid, 0},
        IntegerCase{"-2147483649", NumberText::Invalid, 0},
        IntegerCase{"99999999999999999999", NumberText::Invalid, 0},
        IntegerCase{"1.5", NumberText::Invalid, 0}, IntegerCase{"1e3", NumberText::Invalid, 0},
        IntegerCase{" +", NumberText::Invalid, 0}, IntegerCase{"$10", NumberText::Invalid, 0}));

TEST(StrToIntConversion, RaisesTheConversionErrorWithTheText) {
  EXPECT_EQ(StrToInt(" 8"), 8);
  try {
    StrToInt("x4");
    FAIL() << "no conversion error";
  } catch (const EConvertError& e) {
    EXPECT_STREQ(e.what(), "'x4' is not a valid integer value");
  }
  EXPECT_THROW(StrToInt(""), EConvertError);
}

}  // namespace
}  // namespace vemo

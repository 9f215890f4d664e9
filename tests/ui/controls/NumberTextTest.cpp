// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/controls/NumberText.h"

#include <gtest/gtest.h>

#include "platform/Exception.h"

namespace vemo {
namespace {

constexpr NumberText kInvalid = NumberText::Invalid;
constexpr NumberText kStarted = NumberText::Started;
constexpr NumberText kNumber = NumberText::Number;

TEST(NumberText, RealsAreNumbersStartsOrNothing) {
  struct Case {
    const char* text;
    NumberText kind;
    double value;
  };
  const Case cases[] = {
      {"", kStarted, 0},          {"-", kStarted, 0},       {".", kStarted, 0},
      {"-.", kStarted, 0},        {"1E", kStarted, 0},      {"1e-", kStarted, 0},
      {"12.", kNumber, 12},       {".5", kNumber, 0.5},     {"+6.7", kNumber, 6.7},
      {"-1.5E3", kNumber, -1500}, {"1e+2", kNumber, 100},   {" 12 ", kNumber, 12},
      {"1e-400", kNumber, 0},     {"1..2", kInvalid, 0},    {"1E5E", kInvalid, 0},
      {"E5", kInvalid, 0},        {"--1", kInvalid, 0},     {"1-", kInvalid, 0},
      {"1 2", kInvalid, 0},       {" -", kInvalid, 0},      {"1E ", kInvalid, 0},
      {"1,5", kInvalid, 0},       {"0x10", kInvalid, 0},    {"inf", kInvalid, 0},
      {"1e400", kInvalid, 0},     {"\xd9\xa3", kInvalid, 0}};  // an Arabic-Indic digit
  for (const Case& c : cases) {
    double v = -999;
    EXPECT_EQ(ScanReal(QString::fromUtf8(c.text), &v), c.kind) << '"' << c.text << '"';
    if (c.kind == kNumber) {
      EXPECT_DOUBLE_EQ(v, c.value) << c.text;
    }
  }
}

TEST(NumberText, RealsBeyondRangeOverflowOrUnderflowByTheirSizeNotTheirExponentSign) {
  const std::string zeros(400, '0');
  struct Case {
    std::string text;
    NumberText kind;
  };
  const Case cases[] = {{"1" + zeros + "e-5", kInvalid},
                        {"-1" + zeros + "e-80", kInvalid},
                        {"0." + zeros + "1", kNumber},
                        {"0." + zeros + "1e5", kNumber}};
  for (const Case& c : cases) {
    double v = -999;
    EXPECT_EQ(ScanReal(QString::fromStdString(c.text), &v), c.kind) << c.text;
    if (c.kind == kNumber) {
      EXPECT_EQ(v, 0) << c.text;
    }
  }
}

TEST(NumberText, IntegersStayWithinTheSigned32BitRange) {
  struct Case {
    const char* text;
    NumberText kind;
    int32_t value;
  };
  const Case cases[] = {{"", kStarted, 0},
                        {"+", kStarted, 0},
                        {"+5", kNumber, 5},
                        {" 7 ", kNumber, 7},
                        {"2147483647", kNumber, INT32_MAX},
                        {"-2147483648", kNumber, INT32_MIN},
                        {"2147483648", kInvalid, 0},
                        {"-2147483649", kInvalid, 0},
                        {"99999999999999999999", kInvalid, 0},
                        {"1.5", kInvalid, 0},
                        {"1e3", kInvalid, 0},
                        {" +", kInvalid, 0},
                        {"$10", kInvalid, 0}};
  for (const Case& c : cases) {
    int32_t v = -999;
    EXPECT_EQ(ScanInteger(QString::fromUtf8(c.text), &v), c.kind) << '"' << c.text << '"';
    if (c.kind == kNumber) {
      EXPECT_EQ(v, c.value) << c.text;
    }
  }
}

TEST(NumberText, StrToIntRaisesTheConversionErrorWithTheText) {
  EXPECT_EQ(StrToInt(" 8"), 8);
  try {
    StrToInt("x4");
    FAIL() << "no conversion error";
  } catch (const EConvertError& e) {
    EXPECT_STREQ(e.what(), "'x4' is not a valid integer value");
  }
}

}  // namespace
}  // namespace vemo

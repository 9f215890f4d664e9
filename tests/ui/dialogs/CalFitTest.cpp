// SPDX-License-Identifier: GPL-3.0-or-later
// The calibration line fit, the record's EEPROM words and the wizard's page order.
#include <gtest/gtest.h>

#include <cfenv>
#include <string>
#include <vector>

#include "platform/Exception.h"
#include "ui/dialogs/CalFit.h"

namespace vemo {
namespace {

struct FitExample {
  const char* name;
  TCalChannel channel;
  long double x1, watts1, x2, watts2, freqPercent, fullScale;
  long double slope;
  int32_t offset, factor;
};

class FitExamples : public testing::TestWithParam<FitExample> {};

TEST_P(FitExamples, GiveSlopeOffsetAndFactor) {
  const FitExample& e = GetParam();
  const TCalPoint first{e.x1, CorrectedPower(e.watts1, e.freqPercent)};
  const TCalPoint second{e.x2, CorrectedPower(e.watts2, e.freqPercent)};
  const TChannelFit fit = FitChannel(e.channel, first, second, e.fullScale);
  EXPECT_NEAR(static_cast<double>(fit.Slope), static_cast<double>(e.slope), 1e-9);
  EXPECT_EQ(fit.Offset, e.offset);
  EXPECT_EQ(fit.CalFactor, e.factor);
}

// 0.16 * 100 * 125 = 2000 forward, a tenth of it reflected; 2.5 % compensation turns 10 W and
// 30 W into 9.75 W and 29.25 W, so the slope grows by 1/0.975.
INSTANTIATE_TEST_SUITE_P(
    LineFit, FitExamples,
    testing::Values(
        FitExample{"Forward", TCalChannel::Forward, 1000, 10, 3000, 30, 0, 125, 100, 0, 2000},
        FitExample{"Reflected", TCalChannel::Reflected, 1000, 10, 3000, 30, 0, 125, 100, 0, 200},
        FitExample{"ForwardCompensated", TCalChannel::Forward, 1000, 10, 3000, 30, 2.5, 125,
                   100 / 0.975L, 0, 2051},
        FitExample{"ReflectedCompensated", TCalChannel::Reflected, 1000, 10, 3000, 30, 2.5, 125,
                   100 / 0.975L, 0, 205},
        FitExample{"PointsInEitherOrder", TCalChannel::Forward, 3000, 30, 1000, 10, 0, 125, 100, 0,
                   2000},
        FitExample{"OffsetHalfRoundsDownToEven", TCalChannel::Forward, 1000.5, 10, 3000.5, 30, 0,
                   125, 100, 0, 2000},
        FitExample{"OffsetHalfRoundsUpToEven", TCalChannel::Forward, 1001.5, 10, 3001.5, 30, 0, 125,
                   100, 2, 2000},
        FitExample{"NegativeOffset", TCalChannel::Reflected, 995, 10, 2995, 30, 0, 125, 100, -5,
                   200},
        FitExample{"LargerFullScale", TCalChannel::Forward, 200, 1, 1200, 11, 0, 625, 100, 100,
                   10000}),
    [](const testing::TestParamInfo<FitExample>& p) { return std::string(p.param.name); });

struct RefusedFit {
  const char* name;
  TCalPoint first, second;
  long double fullScale;
  const char* messagePart;
};

class RefusedFits : public testing::TestWithParam<RefusedFit> {};

TEST_P(RefusedFits, RaiseAMessageInsteadOfAResult) {
  const RefusedFit& r = GetParam();
  try {
    FitChannel(TCalChannel::Forward, r.first, r.second, r.fullScale);
    FAIL() << "the fit was accepted";
  } catch (const Exception& e) {
    EXPECT_NE(e.message().find(r.messagePart), std::string::npos) << e.message();
    EXPECT_NE(e.message().find("forward"), std::string::npos) << e.message();
  }
}

INSTANTIATE_TEST_SUITE_P(
    LineFit, RefusedFits,
    testing::Values(
        RefusedFit{"EqualPowers", {1000, 10}, {3000, 10}, 125, "equal"},
        RefusedFit{"EqualPowersAndReadings", {1000, 10}, {1000, 10}, 125, "equal"},
        RefusedFit{"UnchangedReadings", {1000, 10}, {1000, 30}, 125, "do not rise"},
        RefusedFit{"FallingReadings", {3000, 10}, {1000, 30}, 125, "do not rise"},
        RefusedFit{"FactorAboveAWord", {1000, 10}, {3000, 30}, 5000, "outside 1 to 65535"},
        RefusedFit{"FactorRoundsToZero", {1000, 10}, {1000.001L, 30}, 125, "outside 1 to 65535"},
        RefusedFit{"OffsetAboveAWord", {70000, 1}, {70100, 2}, 125, "outside -32768 to 65535"},
        RefusedFit{"OffsetBelowAWord", {-40000, 10}, {-39000, 20}, 125, "outside -32768 to 65535"}),
    [](const testing::TestParamInfo<RefusedFit>& p) { return std::string(p.param.name); });

TEST(LineFit, RoundsHalvesToEvenWhateverTheRoundingMode) {
  const std::vector<std::pair<long double, long double>> cases = {
      {0.5L, 0},   {1.5L, 2},    {2.5L, 2},    {-0.5L, 0},     {-1.5L, -2},
      {-2.5L, -2}, {2.4999L, 2}, {2.5001L, 3}, {-2.5001L, -3}, {7, 7}};
  for (int mode : {FE_TONEAREST, FE_UPWARD, FE_DOWNWARD, FE_TOWARDZERO}) {
    std::fesetround(mode);
    for (const auto& [x, expected] : cases)
      EXPECT_EQ(RoundHalfEven(x), expected) << static_cast<double>(x) << " in mode " << mode;
  }
  std::fesetround(FE_TONEAREST);
}

TEST(CalibrationRecord, MapsWordsByAddressAndWritesReflectedFirst) {
  const TCalibration cal = CalibrationFromWords({10, 11, 12, 13});
  EXPECT_EQ(cal, (TCalibration{11, 13, 10, 12}));
  const auto writes = CalibrationWrites(cal);
  const std::array<TEepromWrite, 4> expected{{{0, 10}, {1, 11}, {2, 12}, {3, 13}}};
  EXPECT_EQ(writes, expected);
}

TEST(CalibrationRecord, WritesTheLow16BitsOfEachValue) {
  const auto writes = CalibrationWrites(TCalibration{-5, 65535, 70000, 5243});
  EXPECT_EQ(writes[0].Value, 70000 - 65536);  // reflected offset
  EXPECT_EQ(writes[1].Value, 65531);          // forward offset -5
  EXPECT_EQ(writes[2].Value, 5243);
  EXPECT_EQ(writes[3].Value, 65535);
}

TEST(CalibrationRecord, ResetAndChannelCopiesTouchOnlyTheirFields) {
  EXPECT_EQ(ResetCalibration(), (TCalibration{0, 5243, 0, 5243}));
  const TCalibration old{1, 2, 3, 4};
  TCalibration cal{5, 6, 7, 8};
  CopyChannel(cal, old, TCalChannel::Forward);
  EXPECT_EQ(cal, (TCalibration{1, 2, 7, 8}));
  CopyChannel(cal, old, TCalChannel::Reflected);
  EXPECT_EQ(cal, old);
  StoreFit(cal, TCalChannel::Reflected, TChannelFit{100, -9, 200});
  EXPECT_EQ(cal, (TCalibration{1, 2, -9, 200}));
  StoreFit(cal, TCalChannel::Forward, TChannelFit{100, 9, 2000});
  EXPECT_EQ(cal, (TCalibration{9, 2000, -9, 200}));
}

// Walking Next from page 0 to the finish page and Back again must visit the same pages of
// the checked channels only, in reverse.
TEST(PageOrder, BackRetracesNextAndSkipsUncheckedChannels) {
  struct Walk {
    bool fwd, refl;
    std::vector<int> pages;
  };
  const std::vector<Walk> walks = {{true, true, {0, 1, 2, 3, 4, 5}},
                                   {true, false, {0, 1, 2, 5}},
                                   {false, true, {0, 3, 4, 5}},
                                   {false, false, {0, 5}}};
  for (const Walk& w : walks) {
    std::vector<int> forward{0};
    while (forward.back() != kPageFinish) {
      forward.push_back(NextPage(forward.back(), w.fwd, w.refl));
      ASSERT_LE(forward.size(), 6u);
    }
    EXPECT_EQ(forward, w.pages) << w.fwd << w.refl;
    std::vector<int> back{kPageFinish};
    while (back.back() != kPageCurrentValues) {
      back.push_back(BackPage(back.back(), w.fwd, w.refl));
      ASSERT_LE(back.size(), 6u);
    }
    EXPECT_EQ(std::vector<int>(back.rbegin(), back.rend()), w.pages) << w.fwd << w.refl;
  }
}

}  // namespace
}  // namespace vemo

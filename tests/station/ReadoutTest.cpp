// SPDX-License-Identifier: GPL-3.0-or-later
// The read-out of a reading: derived quantities, fallbacks, units and texts.
#include "station/Convert.h"
#include "station/Plausibility.h"
#include "station/Readout.h"

#include <gtest/gtest.h>

#include <clocale>
#include <cmath>
#include <limits>

namespace vemo {
namespace {

// Read-out texts trimmed of their leading spaces, with the width they had.
struct Text {
  std::string value;
  size_t width;
};

Text Trim(const std::string& s) {
  return {s.substr(s.find_first_not_of(' ')), s.size()};
}

TEST(Conversions, FallBackInsteadOfFailing) {
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const double inf = std::numeric_limits<double>::infinity();
  struct Row {
    const char* what;
    double got, expected;
  };
  const Row rows[] = {
      {"dBm of 1 W", WattsToDBm(1), 30},
      {"dBm of 1 mW", WattsToDBm(0.001), 0},
      {"dBm of 0 W", WattsToDBm(0), 0},
      {"dBm of -5 W", WattsToDBm(-5), 0},
      {"dBm of NaN", WattsToDBm(nan), 0},
      {"dBm of an overflow", WattsToDBm(1e308), 0},
      {"VSWR of rho 0", RhoToVSWR(0), 1},
      {"VSWR of rho 0.5", RhoToVSWR(0.5), 3},
      {"VSWR of rho 1", RhoToVSWR(1), 99.99},
      {"return loss of rho 0.1", RhoToReturnLoss(0.1), -20},
      {"return loss of rho 1", RhoToReturnLoss(1), 0},
      {"return loss of rho 0", RhoToReturnLoss(0), -40},
      {"return loss of rho -1", RhoToReturnLoss(-1), -40},
      {"return loss of infinite rho", RhoToReturnLoss(inf), -40},
      {"rho of -20 dB", ReturnLossToRho(-20), 0.1},
      {"rho of 0 dB", ReturnLossToRho(0), 1},
      {"VSWR of 0 dB", ReturnLossToVSWR(0), 99.99},
      {"VSWR of -40 dB", ReturnLossToVSWR(-40), 1.0202020202020203},
  };
  for (const Row& r : rows) EXPECT_NEAR(r.got, r.expected, 1e-9) << r.what;
}

TEST(Readout, WorkedExamples) {
  struct Row {
    double forward, reflected;
    const char *rho, *returnLoss, *vswr, *transmitted, *dbm;
    bool implausible;
  };
  const Row rows[] = {
      // Transmitted: F - R of F, 100 (1 - rho^2).
      {100, 1, "0.10", "-20.00", "1.22", "99.00", "50.0", false},
      {100, 25, "0.50", "-6.02", "3.00", "75.00", "50.0", false},
      {100, 0, "0.00", "-40.00", "1.02", "100.00", "50.0", false},
      {0, 0, "1.00", "0.00", "99.99", "0.00", "0.0", false},
      {50, 50, "1.00", "0.00", "99.99", "0.00", "47.0", false},
      {10, 40, "1.00", "0.00", "99.99", "0.00", "40.0", true},
      // The full scale is 625 W: up to 10 % above it is a measurement.
      {680, 0, "0.00", "-40.00", "1.02", "100.00", "58.3", false},
      {700, 7, "0.10", "-20.00", "1.22", "99.00", "58.5", true},
      {0, 3, "1.00", "0.00", "99.99", "0.00", "0.0", true},
      // A negative power yields neither a share above 100 % nor a VSWR of its own.
      {-2, 0, "1.00", "0.00", "99.99", "0.00", "0.0", true},
      {-2, 1, "1.00", "0.00", "99.99", "0.00", "0.0", true},
      {-1, 1, "1.00", "0.00", "99.99", "0.00", "0.0", true},
      {100, -1, "1.00", "0.00", "99.99", "0.00", "50.0", true},
      {-50, 12.5, "1.00", "0.00", "99.99", "0.00", "0.0", true},
      {-100, -1, "1.00", "0.00", "99.99", "0.00", "0.0", true},
      {100, std::nan(""), "1.00", "0.00", "99.99", "0.00", "50.0", true},
      {1e-300, 1e300, "1.00", "0.00", "99.99", "0.00", "-2970.0", true},
  };
  for (const Row& r : rows) {
    const TReadout out = DeriveReadout(r.forward, r.reflected, 625);
    const std::string where = std::to_string(r.forward) + "/" + std::to_string(r.reflected);
    EXPECT_EQ(Trim(out.RhoText).value, r.rho) << where;
    EXPECT_EQ(Trim(out.ReturnLossText).value, r.returnLoss) << where;
    EXPECT_EQ(Trim(out.VSWRText).value, r.vswr) << where;
    EXPECT_EQ(Trim(out.TransmittedText).value, r.transmitted) << where;
    EXPECT_EQ(Trim(out.DBmText).value, r.dbm) << where;
    EXPECT_EQ(JudgePowers(r.forward, r.reflected, 625) != Implausibility::None, r.implausible)
        << where;
    EXPECT_EQ(DeriveVSWR(r.forward, r.reflected), out.VSWR) << where;
    for (const auto* text :
         {&out.RhoText, &out.ReturnLossText, &out.VSWRText, &out.TransmittedText})
      EXPECT_EQ(text->size(), 10u) << where;
    EXPECT_EQ(out.DBmText.size(), 7u) << where;
  }
}

TEST(Readout, UnitAndFormatsFollowTheFullScale) {
  struct Row {
    double fullScale, forward, reflected;
    const char* unit;
    Text forwardText, reflectedText;
  };
  const Row rows[] = {
      {5, 1.2345, 0.01234, "W", {"1.234", 9}, {"0.0123", 12}},
      {9.999, 1, 0.5, "W", {"1.000", 9}, {"0.5000", 12}},
      {10, 1, 0.5, "W", {"1.00", 8}, {"0.500", 11}},
      {99.9, 50, 2, "W", {"50.00", 8}, {"2.000", 11}},
      {100, 100, 1, "W", {"100.0", 7}, {"1.00", 10}},
      {625, 100, 1, "W", {"100.0", 7}, {"1.00", 10}},
      {1000, 1500, 20, "KW", {"1.500", 9}, {"0.0200", 12}},
      {10000, 5000, 20, "KW", {"5.00", 8}, {"0.020", 11}},
      {100000, 60000, 600, "KW", {"60.0", 7}, {"0.60", 10}},
      {999999, 123456, 0, "KW", {"123.5", 7}, {"0.00", 10}},
      {1000000, 1500000, 2000, "MW", {"1.500", 9}, {"0.0020", 12}},
      {1e6, 123456789, 0, "MW", {"123.457", 9}, {"0.0000", 12}},  // wider than the format
  };
  for (const Row& r : rows) {
    const TReadout out = DeriveReadout(r.forward, r.reflected, r.fullScale);
    const Text f = Trim(out.ForwardText), rf = Trim(out.ReflectedText);
    EXPECT_EQ(out.Unit.Unit, std::string(r.unit)) << r.fullScale;
    EXPECT_EQ(f.value, r.forwardText.value) << r.fullScale;
    EXPECT_EQ(f.width, std::max(r.forwardText.width, f.value.size())) << r.fullScale;
    EXPECT_EQ(rf.value, r.reflectedText.value) << r.fullScale;
    EXPECT_EQ(rf.width, r.reflectedText.width) << r.fullScale;
    EXPECT_EQ(out.ForwardLabel, "Forward Power (" + std::string(r.unit) + "):");
    EXPECT_EQ(out.ReflectedLabel, "Reflected Power (" + std::string(r.unit) + "):");
  }
}

TEST(Readout, MeterPositionIsTheForwardPowerInWholeWattsHalvesToEven) {
  const std::pair<double, int32_t> rows[] = {{0, 0},           {2.5, 2},   {3.5, 4},
                                             {1500.4, 1500},   {-0.6, -1}, {1e12, 2147483647},
                                             {std::nan(""), 0}};
  for (const auto& [watts, position] : rows)
    EXPECT_EQ(DeriveReadout(watts, 0, 5000).MeterPosition, position) << watts;
}

TEST(Readout, TextsUseAPointWhateverTheLocale) {
  // Qt programs take the user's locale for the C library; printf would then write commas.
  bool commaLocale = false;
  for (const char* name : {"de_DE.UTF-8", "de_DE", "fr_FR.UTF-8", "nl_NL.UTF-8"})
    if ((commaLocale = std::setlocale(LC_NUMERIC, name) != nullptr)) break;
  if (!commaLocale) GTEST_SKIP() << "no locale with a decimal comma is installed";
  const TReadout out = DeriveReadout(100, 1, 625);
  std::setlocale(LC_NUMERIC, "C");
  EXPECT_EQ(Trim(out.VSWRText).value, "1.22");
  EXPECT_EQ(Trim(out.ForwardText).value, "100.0");
}

}  // namespace
}  // namespace vemo

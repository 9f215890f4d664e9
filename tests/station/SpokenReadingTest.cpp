// SPDX-License-Identifier: GPL-3.0-or-later
// The talking meter's phrases and the tuning tone's rules, as worked examples.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "station/SpokenReading.h"
#include "station/TuningPitch.h"

namespace vemo {
namespace {

constexpr double kInf = std::numeric_limits<double>::infinity();

TEST(SpokenReading, NumbersReadAsPeopleSayThem) {
  const QLocale english(QLocale::English);
  const QLocale german(QLocale::German);
  struct Row {
    double watts;
    const char* english;
    const char* german;
  };
  const Row powers[] = {
      {47.2, "forty-seven watts", "47 watts"},
      {0.94, "zero point nine watts", "0,9 watts"},
      {1.04, "one watt", "one watt"},
      {9.96, "ten watts", "10 watts"},
      {115, "one hundred fifteen watts", "115 watts"},
      {999.6, "one point zero kilowatts", "1,0 kilowatts"},
      {1540, "one point five kilowatts", "1,5 kilowatts"},
      {-0.04, "zero point zero watts", "-0,0 watts"},
      {kInf, "unknown power", "unknown power"},
  };
  for (const Row& row : powers) {
    EXPECT_EQ(SpokenPower(row.watts, english), QString::fromUtf8(row.english)) << row.watts;
    EXPECT_EQ(SpokenPower(row.watts, german), QString::fromUtf8(row.german)) << row.watts;
  }
  const Row ratios[] = {
      {1.3, "one point three to one", "1,3 to one"},
      {1.04, "one point zero to one", "1,0 to one"},
      {12, "more than ten to one", "more than ten to one"},
      {kInf, "no forward power", "no forward power"},
      {std::nan(""), "no forward power", "no forward power"},
  };
  for (const Row& row : ratios) {
    EXPECT_EQ(SpokenVSWR(row.watts, english), QString::fromUtf8(row.english)) << row.watts;
    EXPECT_EQ(SpokenVSWR(row.watts, german), QString::fromUtf8(row.german)) << row.watts;
  }
  EXPECT_EQ(NumberInWords(1234567, 0),
            "one million two hundred thirty-four thousand five hundred sixty-seven");
  EXPECT_EQ(NumberInWords(-2.05, 2), "minus two point zero five");
  EXPECT_EQ(SpokenReading(47, 1.2, 1.38, QLocale::c()),
            "Forward forty-seven watts, reflected one point two watts, SWR one point four to one");
}

TEST(TuningTone, PitchRisesAsTheMatchImproves) {
  struct Row {
    double vswr;
    double hz;
  };
  const Row rows[] = {{1.0, 1600}, {0.5, 1600}, {5, 300}, {50, 300}, {kInf, 300}};
  for (const Row& row : rows) EXPECT_NEAR(TuningPitchHz(row.vswr), row.hz, 0.01) << row.vswr;
  for (int tenths = 10; tenths < 50; ++tenths)
    EXPECT_GT(TuningPitchHz(tenths / 10.0), TuningPitchHz((tenths + 1) / 10.0)) << tenths;
}

TEST(TuningTone, BeepsAtEachNewMinimumAndFallsSilentWhenUnkeyed) {
  struct Row {
    double forward;
    double vswr;
    bool sounds;
    bool beep;
  };
  const Row rows[] = {
      {100, 2.0, true, false},  // key-up: the first reading sets the mark
      {100, 1.8, true, true},    {100, 1.79, true, false},  // noise
      {100, 1.9, true, false},   {100, 1.5, true, true},
      {0.1, kInf, false, false},  // unkeyed: silence, the mark is forgotten
      {100, 1.7, true, false},   {100, 1.6, true, true},
  };
  TuningTracker tracker;
  for (const Row& row : rows) {
    const TuningTracker::Tone tone = tracker.Reading(row.forward, row.vswr);
    EXPECT_EQ(tone.Hz.has_value(), row.sounds) << row.vswr;
    EXPECT_EQ(tone.Beep, row.beep) << row.vswr;
  }
}

TEST(TuningTone, VSWRInMorseIsTenTimesTheRatio) {
  EXPECT_EQ(VSWRInMorse(1.3), ".---- ...--");
  EXPECT_EQ(VSWRInMorse(25), "----. ----.");
  EXPECT_EQ(VSWRInMorse(kInf), "");
  EXPECT_EQ(MorseTiming(".- -"), (std::vector<int>{1, -1, 3, -3, 3}));
}

}  // namespace
}  // namespace vemo

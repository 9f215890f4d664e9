// SPDX-License-Identifier: GPL-3.0-or-later
#include "station/BandSettings.h"
#include "station/ReadingCsv.h"

#include "platform/ProfileFile.h"
#include "tests/platform/TempDir.h"

#include <gtest/gtest.h>

#include <fstream>

namespace vemo {
namespace {

TEST(BandSettings, ABandsOwnLevelsOverlayTheGlobalOnesAndOtherBandsKeepThem) {
  test::TempDir dir;
  std::ofstream(dir / "s.ini") << "[Alarms]\nVSWRAbove=3\n[Alarms 20m]\nVSWRAbove=1.5\n"
                                  "ForwardBelow=20\n[Alarms 40m]\nReflectedAbove=-1\n"
                                  "[Corrections]\n20m=-0.5,3\n40m=1\n80m=40,0\n";
  TAlarmLevels global;
  global.VSWRAbove = 3;
  global.ReflectedAbove = 10;
  std::vector<std::string> warnings;
  const TBandSettings s = ReadBandSettings(ProfileFile(dir / "s.ini"), global, warnings);
  EXPECT_EQ(warnings.size(), 3u);  // 40m's reflected level, 40m's and 80m's corrections
  struct Row {
    const char* band;
    double vswr, reflected, forward;
  } rows[] = {{"20m", 1.5, 10, 20}, {"40m", 3, 10, 0}, {"15m", 3, 10, 0}, {"", 3, 10, 0}};
  for (const Row& r : rows) {
    const TAlarmLevels& l = LevelsForBand(s, global, r.band);
    EXPECT_EQ(l.VSWRAbove, r.vswr) << r.band;
    EXPECT_EQ(l.ReflectedAbove, r.reflected) << r.band;
    EXPECT_EQ(l.ForwardBelow, r.forward) << r.band;
  }

  TMonitorReading reading;
  reading.Forward = 100;
  reading.Reflected = 1;
  const TCorrectedReading c = CorrectForBand(s, "20m", reading);
  EXPECT_TRUE(c.Corrected);
  EXPECT_NEAR(c.Reading.Forward, 89.125, 0.001);
  EXPECT_NEAR(c.Reading.Reflected, 1.9953, 0.0001);
  EXPECT_EQ(c.ForwardRaw, 100);
  EXPECT_EQ(c.ReflectedRaw, 1);
  EXPECT_FALSE(CorrectForBand(s, "40m", reading).Corrected);
}

}  // namespace
}  // namespace vemo

namespace vemo {
namespace {

TEST(ReadingCsvRigFields, EmptyWhereUnknownAndQuotedWhereTheBandNameNeedsIt) {
  const struct {
    TReadingPlace place;
    const char* fields;
  } rows[] = {
      {{14074000.4, "20m", 100, 12}, ",14074000,20m,100,12"},
      {{0, "", 5, 0.25f}, ",,,5,0.25"},
      {{98500000, "FM 98,5 \"Jazz\"", 1000, 3}, ",98500000,\"FM 98,5 \"\"Jazz\"\"\",1000,3"},
  };
  for (const auto& r : rows) EXPECT_EQ(ReadingCsvRigFields(r.place), r.fields);
}

}  // namespace
}  // namespace vemo

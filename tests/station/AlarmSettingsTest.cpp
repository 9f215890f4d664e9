// SPDX-License-Identifier: GPL-3.0-or-later
// The [Alarms] section: each key, bad values, and writing back only what the user changed.
#include "station/AlarmSettings.h"

#include "platform/Exception.h"
#include "platform/ProfileFile.h"
#include "tests/platform/TempDir.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <clocale>

namespace vemo {
namespace {

using test::ReadFile;
using test::TempDir;
using test::WriteFile;
using ::testing::HasSubstr;

TEST(AlarmSettings, ReadsEachKeyAndWarnsOncePerBadOne) {
  struct Row {
    const char* line;
    double TAlarmLevels::*field;
    double expected;
    const char* warning;  // the warning's key, or "" for none
  };
  const Row rows[] = {
      {"VSWRAbove=2.5", &TAlarmLevels::VSWRAbove, 2.5, ""},
      {"VSWRAbove=0", &TAlarmLevels::VSWRAbove, 0, ""},
      {"VSWRAbove=1", &TAlarmLevels::VSWRAbove, 0, "VSWRAbove"},  // would always sound
      {"VSWRAbove=2,5", &TAlarmLevels::VSWRAbove, 0, "VSWRAbove"},
      {"ReflectedAbove= 12.5 ", &TAlarmLevels::ReflectedAbove, 12.5, ""},
      {"ReflectedAbove=-3", &TAlarmLevels::ReflectedAbove, 0, "ReflectedAbove"},
      {"ForwardBelow=80", &TAlarmLevels::ForwardBelow, 80, ""},
      {"ForwardBelow=nan", &TAlarmLevels::ForwardBelow, 0, "ForwardBelow"},
      {"OffAirBelow=50", &TAlarmLevels::OffAirBelow, 50, ""},
      {"OffAirBelow=1e9x", &TAlarmLevels::OffAirBelow, 0, "OffAirBelow"},
      {"KeyedAbove=5", &TAlarmLevels::KeyedAbove, 5, ""},
      {"KeyedAbove=auto", &TAlarmLevels::KeyedAbove, kKeyedAuto, ""},
      // Never silently "off": a bad keyed level keeps the automatic one.
      {"KeyedAbove=5W", &TAlarmLevels::KeyedAbove, kKeyedAuto, "KeyedAbove"},
      {"VSWRClearBelow=1.8", &TAlarmLevels::VSWRClearBelow, 1.8, ""},
      {"LinkLostAfter=30", &TAlarmLevels::LinkLostAfter, 30, ""},
      {"LinkLostAfter=inf", &TAlarmLevels::LinkLostAfter, 0, "LinkLostAfter"},
      {"Delay=1.5", &TAlarmLevels::Delay, 1.5, ""},
      {"Delay=", &TAlarmLevels::Delay, 0, ""},
  };
  TempDir dir;
  for (const Row& row : rows) {
    WriteFile(dir / "VemoSWR.ini", std::string("[Alarms]\n") + row.line + "\n");
    const TAlarmSettingsRead read = ReadAlarmSettings(ProfileFile(dir / "VemoSWR.ini"));
    EXPECT_EQ(read.Settings.Levels.*row.field, row.expected) << row.line;
    if (*row.warning) {
      ASSERT_EQ(read.Warnings.size(), 1u) << row.line;
      EXPECT_THAT(read.Warnings[0], HasSubstr(std::string(row.warning) + "=\"")) << row.line;
    } else {
      EXPECT_TRUE(read.Warnings.empty()) << row.line;
    }
  }

  // A bad value keeps the last good one; the warning names the key and no dialog (the
  // service reads the same keys and has none).
  TAlarmSettings lastGood;
  lastGood.Levels.VSWRAbove = 2.5;
  lastGood.Levels.TripReadings = 2;
  WriteFile(dir / "VemoSWR.ini",
            "[Alarms]\nVSWRAbove=19.0x\nTripReadings=-1\nOfReadings=5\nLatch=vswr, link\n");
  TAlarmSettingsRead kept = ReadAlarmSettings(ProfileFile(dir / "VemoSWR.ini"), "Alarms", lastGood);
  EXPECT_EQ(kept.Settings.Levels.VSWRAbove, 2.5);
  EXPECT_EQ(kept.Settings.Levels.TripReadings, 2);
  EXPECT_EQ(kept.Settings.Levels.OfReadings, 5);
  EXPECT_EQ(kept.Settings.Levels.Latch,
            AlarmSourceBit(AlarmSource::VSWRAbove) | AlarmSourceBit(AlarmSource::LinkLost));
  ASSERT_EQ(kept.Warnings.size(), 2u);
  EXPECT_THAT(kept.Warnings[0], HasSubstr("2.5 is used"));
  EXPECT_THAT(kept.Warnings[0], ::testing::Not(HasSubstr("Alarm Settings")));
  WriteFile(dir / "VemoSWR.ini", "[Alarms]\nLatch=vswr,antenna\n");
  kept = ReadAlarmSettings(ProfileFile(dir / "VemoSWR.ini"));
  EXPECT_EQ(kept.Settings.Levels.Latch, kLatchAll);
  ASSERT_EQ(kept.Warnings.size(), 1u);
  EXPECT_THAT(kept.Warnings[0], HasSubstr("Latch=\"vswr,antenna\""));

  WriteFile(dir / "VemoSWR.ini", "[Alarms]\nSound=yes\nHook=/bin/beep -n 3\nLog=alarms.csv\n");
  const TAlarmSettingsRead read = ReadAlarmSettings(ProfileFile(dir / "VemoSWR.ini"));
  EXPECT_TRUE(read.Settings.Sound);
  ASSERT_EQ(read.Warnings.size(), 1u);
  EXPECT_THAT(read.Warnings[0], HasSubstr("Sound=\"yes\""));
  EXPECT_EQ(read.Settings.Hook, "/bin/beep -n 3");
  EXPECT_EQ(read.Settings.Log, dir / "alarms.csv");

  WriteFile(dir / "VemoSWR.ini", "");
  EXPECT_EQ(ReadAlarmSettings(ProfileFile(dir / "VemoSWR.ini")).Settings.Log,
            dir / "VemoSWR-alarms.csv");
}

TEST(AlarmSettings, WritingBackKeepsBadValuesTheUserDidNotTouch) {
  const std::string previous = std::setlocale(LC_ALL, nullptr);
  std::setlocale(LC_ALL, "de_DE.UTF-8");  // where available, a decimal comma
  TempDir dir;
  const std::string ini = dir / "VemoSWR.ini";
  WriteFile(ini, "[Alarms]\n; mine\nReflectedAbove=lots\nSound=2\n");
  ProfileFile file(ini);
  const TAlarmSettings loaded = ReadAlarmSettings(file).Settings;
  TAlarmSettings changed = loaded;
  changed.Levels.VSWRAbove = 1.5;
  changed.Hook = R"("/opt/my tools/beep" "now")";
  WriteAlarmSettings(file, loaded, changed);
  std::setlocale(LC_ALL, previous.c_str());

  EXPECT_EQ(ReadFile(ini),
            "[Alarms]\n; mine\nReflectedAbove=lots\nSound=2\nVSWRAbove=1.5\n"
            "Hook=\"\"/opt/my tools/beep\" \"now\"\"\n");
  const TAlarmSettingsRead again = ReadAlarmSettings(ProfileFile(ini));
  EXPECT_EQ(again.Settings.Levels.VSWRAbove, 1.5);
  EXPECT_EQ(again.Settings.Hook, changed.Hook);
  EXPECT_EQ(again.Warnings.size(), 2u);

  changed.Log = "a\nb";
  EXPECT_THROW(WriteAlarmSettings(file, loaded, changed), Exception);
  EXPECT_EQ(ReadAlarmSettings(ProfileFile(ini)).Settings.Hook, changed.Hook);
}

}  // namespace
}  // namespace vemo

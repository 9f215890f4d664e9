#include "ui/dialogs/OptionsLayout.h"

#include <gtest/gtest.h>

#include <functional>

#include "monitor/MonitorSettings.h"
#include "tests/ui/dialogs/RecordingForwarders.h"
#include "ui/dialogs/OptionsSending.h"

namespace vemo {
namespace {

struct LayoutCase {
  const char* model;
  int year, month, day;
  OptionsLayout layout;
};

void PrintTo(const LayoutCase& c, std::ostream* os) {
  *os << c.model << " dated " << c.year << '-' << c.month << '-' << c.day;
}

class OptionsLayoutTable : public testing::TestWithParam<LayoutCase> {};

TEST_P(OptionsLayoutTable, ChoosesByModelAndFirmwareDate) {
  const LayoutCase& c = GetParam();
  EXPECT_EQ(OptionsLayoutFor(c.model, EncodeDate(c.year, c.month, c.day)), c.layout);
}

using L = OptionsLayout;
INSTANTIATE_TEST_SUITE_P(
    Boundaries, OptionsLayoutTable,
    testing::Values(
        LayoutCase{"KRFMON01", 1999, 1, 1, L::A}, LayoutCase{"KRFMON01", 2012, 6, 1, L::A},
        LayoutCase{"KRFMON02", 2012, 6, 1, L::B}, LayoutCase{"KRFMON03", 2003, 11, 19, L::F},
        LayoutCase{"KRFMON03", 2003, 11, 20, L::G}, LayoutCase{"KRFMON03", 2010, 1, 7, L::G},
        LayoutCase{"KRFMON03", 2010, 1, 8, L::H}, LayoutCase{"VPMon002", 2000, 10, 18, L::C},
        LayoutCase{"VPMon002", 2000, 10, 19, L::D}, LayoutCase{"VPMon002", 2002, 5, 13, L::D},
        LayoutCase{"VPMon002", 2002, 5, 14, L::E}, LayoutCase{"VPMon002", 2003, 10, 19, L::E},
        LayoutCase{"VPMon002", 2003, 10, 20, L::F}, LayoutCase{"VPMon002", 2003, 11, 19, L::F},
        LayoutCase{"VPMon002", 2003, 11, 20, L::G}, LayoutCase{"VPMon002", 2011, 1, 1, L::G},
        LayoutCase{"KRFMON04", 2010, 1, 8, L::None}, LayoutCase{"krfmon01", 2010, 1, 8, L::None},
        LayoutCase{"KRFMON0", 2010, 1, 8, L::None}, LayoutCase{"", 2010, 1, 8, L::None}));

TEST(OptionsLayoutTable, ATimeOfDayOnTheThresholdDayCounts) {
  EXPECT_EQ(OptionsLayoutFor("KRFMON03", EncodeDate(2010, 1, 8) + 0.5), L::H);
  EXPECT_EQ(OptionsLayoutFor("KRFMON03", EncodeDate(2010, 1, 8) - 0.001), L::G);
}

TEST(OptionsLayoutContent, OnlyTheLaterLayoutsOfferThirteenLevelsAndPushToTalkComesLast) {
  for (L l : {L::None, L::A, L::B, L::C, L::D, L::E, L::F}) EXPECT_EQ(ContentOf(l).vswrLevels, 6);
  EXPECT_EQ(ContentOf(L::G).vswrLevels, 13);
  EXPECT_EQ(ContentOf(L::H).vswrLevels, 13);
  EXPECT_EQ(ContentOf(L::H).groups.back(), OptionsGroup::PushToTalk);
  EXPECT_FALSE(ContentOf(L::None).alarmSettings);
}

TEST(VSWRLevelList, StepsByATenthFromOnePointThree) {
  const std::vector<std::string> six = VSWRLevelItems(6);
  ASSERT_EQ(six.size(), 6u);
  EXPECT_EQ(six.front(), "VSWR = 1.3");
  EXPECT_EQ(six.back(), "VSWR = 1.8");
  const std::vector<std::string> all = VSWRLevelItems(13);
  ASSERT_EQ(all.size(), 13u);
  EXPECT_EQ(all[6], "VSWR = 1.9");
  EXPECT_EQ(all[7], "VSWR = 2.0");
  EXPECT_EQ(all[12], "VSWR = 2.5");
  EXPECT_EQ(VSWRLevelItems(20).size(), 13u);
}

MonitorSettings Distinct() {
  MonitorSettings s;
  s.LatchAlarm = true;
  s.AlarmAtPowerUp = false;
  s.RelaySense = true;
  s.Relay2Sense = false;
  s.VSWRAlarmEnable = true;
  s.VSWRLevel = 12;
  s.CheckOnZeroPower = false;
  s.HighPowerLevel = 110;
  s.HighPowerEnable = true;
  s.LowPowerLevel = 7;
  s.LowPowerEnable = false;
  s.PushToTalkEnable = true;
  s.PushToTalkDelay = 0.94f;
  s.SetDACGains(0x0408);
  return s;
}

TEST(OptionsSendOrder, SingleRelaySendsNineSettingsInOrder) {
  test::RecordingForwarders f;
  SendOptionsSettings(Distinct(), f);
  EXPECT_EQ(f.calls,
            (std::vector<std::string>{"SetAlarmEnable(1)", "SetRelaySense(1)", "SetLatchAlarm(1)",
                                      "SetAlarmAtPowerUp(0)", "SetPushToTalk(1, 0.94)",
                                      "SetVSWRLevel(12)", "SetCheckOnZeroPower(0)",
                                      "SetHighPowerAlarm(1, 110)", "SetLowPowerAlarm(0, 7)"}));
}

TEST(OptionsSendOrder, DualRelaySendsTheSecondRelayAndTheGainsLast) {
  test::RecordingForwarders f;
  std::vector<uint16_t> gains;
  SendDualRelaySettings(Distinct(), f, [&](uint16_t g) {
    f.calls.push_back("WriteDACGains");
    gains.push_back(g);
  });
  EXPECT_EQ(f.calls, (std::vector<std::string>{
                         "SetAlarmEnable(1)", "SetRelaySense(1)", "SetRelay2Sense(0)",
                         "SetLatchAlarm(1)", "SetAlarmAtPowerUp(0)", "SetPushToTalk(1, 0.94)",
                         "SetVSWRLevel(12)", "SetCheckOnZeroPower(0)", "SetHighPowerAlarm(1, 110)",
                         "SetLowPowerAlarm(0, 7)", "WriteDACGains"}));
  EXPECT_EQ(gains, std::vector<uint16_t>{0x0408});
}

TEST(OptionsSendOrder, AFailureStopsTheSequence) {
  test::RecordingForwarders f;
  f.failAt = "SetPushToTalk";
  bool gainsWritten = false;
  EXPECT_THROW(SendDualRelaySettings(Distinct(), f, [&](uint16_t) { gainsWritten = true; }),
               Exception);
  EXPECT_EQ(f.calls.size(), 6u);
  EXPECT_FALSE(gainsWritten);
}

}  // namespace
}  // namespace vemo

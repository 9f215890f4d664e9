// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/dialogs/OptionsLayout.h"

#include <gtest/gtest.h>

#include "tests/ui/dialogs/RecordingForwarders.h"
#include "ui/dialogs/OptionsSending.h"

namespace vemo {
namespace {

using L = OptionsLayout;

TEST(OptionsLayoutTable, ChoosesByModelAndFirmwareDateIncludingEachThresholdDay) {
  struct Case {
    const char* model;
    int year, month, day;
    L layout;
  };
  const Case cases[] = {{"KRFMON01", 1999, 1, 1, L::A},    {"KRFMON02", 2012, 6, 1, L::B},
                        {"KRFMON03", 2003, 11, 19, L::F},  {"KRFMON03", 2003, 11, 20, L::G},
                        {"KRFMON03", 2010, 1, 7, L::G},    {"KRFMON03", 2010, 1, 8, L::H},
                        {"VPMon002", 2000, 10, 18, L::C},  {"VPMon002", 2000, 10, 19, L::D},
                        {"VPMon002", 2002, 5, 13, L::D},   {"VPMon002", 2002, 5, 14, L::E},
                        {"VPMon002", 2003, 10, 19, L::E},  {"VPMon002", 2003, 10, 20, L::F},
                        {"VPMon002", 2003, 11, 19, L::F},  {"VPMon002", 2003, 11, 20, L::G},
                        {"VPMon002", 2011, 1, 1, L::G},    {"KRFMON04", 2010, 1, 8, L::None},
                        {"krfmon01", 2010, 1, 8, L::None}, {"", 2010, 1, 8, L::None}};
  for (const Case& c : cases) {
    EXPECT_EQ(OptionsLayoutFor(c.model, EncodeDate(c.year, c.month, c.day)), c.layout)
        << c.model << " dated " << c.year << '-' << c.month << '-' << c.day;
  }
  EXPECT_EQ(OptionsLayoutFor("KRFMON03", EncodeDate(2010, 1, 8) + 0.5), L::H)
      << "a time of day on the threshold day counts";
}

TEST(OptionsLayoutTable, VSWRLevelsStepByATenthFromOnePointThree) {
  const std::vector<std::string> all = VSWRLevelItems(13);
  ASSERT_EQ(all.size(), 13u);
  EXPECT_EQ(all[0], "VSWR = 1.3");
  EXPECT_EQ(all[6], "VSWR = 1.9");
  EXPECT_EQ(all[7], "VSWR = 2.0");
  EXPECT_EQ(all[12], "VSWR = 2.5");
  EXPECT_EQ(VSWRLevelItems(6).back(), "VSWR = 1.8");
}

TEST(OptionsSendOrder, AFailureStopsTheSequenceBeforeTheGains) {
  test::RecordingForwarders f;
  f.failAt = "SetPushToTalk";
  bool gainsWritten = false;
  EXPECT_THROW(SendDualRelaySettings(MonitorSettings{}, f, [&](uint16_t) { gainsWritten = true; }),
               Exception);
  EXPECT_EQ(f.calls.size(), 6u);
  EXPECT_FALSE(gainsWritten);
}

}  // namespace
}  // namespace vemo

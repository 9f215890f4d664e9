// SPDX-License-Identifier: GPL-3.0-or-later
// The settings commands: encodings, the model/firmware gates and the write sequences.
#include "SessionFixture.h"

namespace vemo::test {
namespace {

using ::testing::ElementsAre;

TEST_F(SessionTest, PowerAlarmWritesSendOnlyWhatChanged) {
  IdentifyAs("KRFMON03");
  // Currently 0 % and off; wanted 10 % and on: level, then enable.
  port.Answer("H=00000\r\n>").Answer("H=02621\r\n>").Answer("H=35389\r\n>");
  monitor.WriteHiPowerAlarm({10, true});
  EXPECT_THAT(port.sent(), ElementsAre("L", "M 2621", "N1"));
  EXPECT_EQ(monitor.HiPowerLevel(), 10);
  EXPECT_TRUE(monitor.HiPowerEnabled());

  // Same level, enable off: only the enable goes out.
  port.ClearSent();
  port.Answer("L=35389\r\n>").Answer("L=02621\r\n>");
  monitor.WriteLowPowerAlarm({10, false});
  EXPECT_THAT(port.sent(), ElementsAre("D", "G0"));
  EXPECT_FALSE(monitor.LowPowerEnabled());

  // Nothing changed: just the read.
  port.ClearSent();
  port.Answer("L=02621\r\n>");
  monitor.WriteLowPowerAlarm({10, false});
  EXPECT_THAT(port.sent(), ElementsAre("D"));
}

TEST_F(SessionTest, PowerAlarmLevelsAreEncodedInUnitsOf26214Point4PerFullScale) {
  IdentifyAs("KRFMON04");
  struct Row {
    int32_t percent;
    const char* command;
  };
  const Row rows[] = {{10, "M 2621"}, {100, "M26214"}, {125, "M32767"}, {200, "M32767"},
                      {1, "M  262"},  {50, "M13107"},  {-5, "M    0"},  {2147483647, "M32767"}};
  for (const Row& r : rows) {
    port.ClearSent();
    port.Answer("H=00000\r\n>").Answer("H=00000\r\n>");
    monitor.WriteHiPowerAlarm({r.percent, false});
    EXPECT_THAT(port.sent(), ElementsAre("L", r.command)) << r.percent;
  }
  // Reading back: bit 15 enables, the rest rounds (halves to even) to whole percent.
  const std::pair<const char*, TPowerAlarm> replies[] = {
      {"H=35389\r\n>", {10, true}},  {"H=26214\r\n>", {100, false}}, {"H=00131\r\n>", {0, false}},
      {"H=16384\r\n>", {62, false}}, {"H=32767\r\n>", {125, false}}, {"H=32768\r\n>", {0, true}}};
  for (const auto& [reply, alarm] : replies) {
    port.Answer(reply);
    const TPowerAlarm read = monitor.ReadHiPowerAlarm();
    EXPECT_EQ(read.Level, alarm.Level) << reply;
    EXPECT_EQ(read.Enabled, alarm.Enabled) << reply;
  }
}

TEST_F(SessionTest, UnsupportedSettingsSendNothingAndGiveNeutralValues) {
  IdentifyAs("KRFMON01");
  EXPECT_TRUE(monitor.ReadLatchAlarm());
  EXPECT_TRUE(monitor.ReadAlarmAtPowerUp());
  EXPECT_FALSE(monitor.ReadRelaySense());
  EXPECT_FALSE(monitor.ReadRelay2Sense());
  EXPECT_FALSE(monitor.ReadAlarmEnable());
  EXPECT_EQ(monitor.ReadHiPowerAlarm().Level, 0);
  EXPECT_FALSE(monitor.ReadLowPowerAlarm().Enabled);
  EXPECT_EQ(monitor.WriteAlarmEnable(true), 0);
  EXPECT_EQ(monitor.WriteLatchAlarm(false), 0);
  EXPECT_TRUE(monitor.LatchAlarm());
  monitor.WriteHiPowerAlarm({40, true});
  EXPECT_EQ(monitor.HiPowerLevel(), 40);  // the wanted value is kept
  EXPECT_TRUE(monitor.HiPowerEnabled());
  port.Answer("D= 6\r\n>");
  const TPushToTalk ptt = monitor.ReadPushToTalk();  // firmware of 2012: "#" exists
  EXPECT_FALSE(ptt.Enabled);
  EXPECT_THAT(port.sent(), ElementsAre("#"));
}

TEST_F(SessionTest, StatusCommandsFollowTheModelAndFirmwareGates) {
  struct Row {
    const char* model;
    const char* date;
    std::function<void(TVSWR_Monitor&)> write;
    const char* sent;  // "" when nothing may be sent
  };
  const Row rows[] = {
      {"VPMon002", "07/24/00", [](auto& m) { m.ReadRelaySense(); }, ""},
      {"VPMon002", "07/25/00", [](auto& m) { m.ReadRelaySense(); }, "B"},
      {"VPMon002", "07/25/00", [](auto& m) { m.WriteAlarmEnable(true); }, "61"},
      {"VPMon002", "07/25/00", [](auto& m) { m.WriteRelaySense(false); }, "50"},
      {"KRFMON03", "01/01/99", [](auto& m) { m.WriteRelay2Sense(true); }, ""},
      {"KRFMON04", "01/01/99", [](auto& m) { m.WriteRelay2Sense(true); }, "W1"},
      {"VPMon002", "10/19/03", [](auto& m) { m.WriteLatchAlarm(true); }, ""},
      {"VPMon002", "10/20/03", [](auto& m) { m.WriteLatchAlarm(true); }, "O0"},
      {"KRFMON03", "01/01/99", [](auto& m) { m.WriteLatchAlarm(false); }, "O1"},
      {"KRFMON03", "11/19/03", [](auto& m) { m.WriteAlarmAtPowerUp(true); }, ""},
      {"KRFMON03", "11/20/03", [](auto& m) { m.WriteAlarmAtPowerUp(true); }, "U0"},
      {"KRFMON04", "03/29/04", [](auto& m) { m.WriteAlarmAtPowerUp(false); }, ""},
      {"VPMon002", "03/30/04", [](auto& m) { m.WriteAlarmAtPowerUp(false); }, "U1"},
      {"KRFMON02", "01/01/99", [](auto& m) { m.ReadLowPowerAlarm(); }, "D"},
      {"KRFMON02", "01/01/99", [](auto& m) { m.ReadHiPowerAlarm(); }, ""},
      {"VPMon002", "05/13/02", [](auto& m) { m.ReadLowPowerAlarm(); }, ""},
      {"VPMon002", "05/14/02", [](auto& m) { m.ReadLowPowerAlarm(); }, "D"},
      {"KRFMO999", "01/01/15", [](auto& m) { m.ReadHiPowerAlarm(); }, ""},
      {"KRFMO999", "01/01/15", [](auto& m) { m.ReadVSWRLevel(); }, "8"},
  };
  for (const Row& r : rows) {
    IdentifyAs(r.model, r.date);
    if (*r.sent == 'D')
      port.Answer("L=00000\r\n>");
    else if (*r.sent == '8')
      port.Answer("V=3\r\n>");
    else if (*r.sent)
      port.Answer("0000\r\n>");
    r.write(monitor);
    if (*r.sent)
      EXPECT_THAT(port.sent(), ElementsAre(r.sent)) << r.model << " " << r.date;
    else
      EXPECT_TRUE(port.sent().empty()) << r.model << " " << r.date << " sent " << port.sent()[0];
    EXPECT_EQ(port.unanswered(), 0u);
  }
}

TEST_F(SessionTest, AlarmAtPowerUpOnTheExcludedFirmwareDecodesTheWordZero) {
  IdentifyAs("KRFMON03");
  port.Answer("0000\r\n>");
  monitor.WriteRelaySense(false);
  IdentifyAs("KRFMON03", "03/29/04");
  port.Answer("0004\r\n>");
  EXPECT_EQ(monitor.WriteRelaySense(true), 4);
  EXPECT_TRUE(monitor.RelaySense());
  EXPECT_EQ(monitor.WriteAlarmAtPowerUp(true), 0);
  EXPECT_FALSE(monitor.RelaySense());
  EXPECT_TRUE(monitor.AlarmAtPowerUp());
}

TEST_F(SessionTest, PushToTalkDelayCountsInSixPointFourthsOfASecond) {
  IdentifyAs("KRFMON03", "01/08/10");
  struct Row {
    float seconds;
    const char* command;
  };
  const Row rows[] = {{1.0f, "% 6"},  {20.0f, "%90"},     {14.0625f, "%90"}, {0.0f, "% 0"},
                      {-3.0f, "% 0"}, {0.078125f, "% 0"}, {0.234375f, "% 2"}};
  for (const Row& r : rows) {
    port.ClearSent();
    port.Answer("0100\r\n>").Answer("D= 6\r\n>");
    monitor.WritePushToTalk({true, r.seconds});
    EXPECT_THAT(port.sent(), ElementsAre("&1", r.command)) << r.seconds;
    EXPECT_TRUE(monitor.PushToTalkEnabled());
  }
  const std::pair<const char*, float> delays[] = {
      {"D= 6\r\n>", 0.94f}, {"D=90\r\n>", 14.06f}, {"D=2\r\n>\n", 0.31f}, {"D= 0\r\n>", 0.0f}};
  for (const auto& [reply, seconds] : delays) {
    port.ClearSent();
    port.Answer("0100\r\n>").Answer(reply);
    const TPushToTalk ptt = monitor.ReadPushToTalk();
    EXPECT_TRUE(ptt.Enabled);
    EXPECT_FLOAT_EQ(ptt.Delay, seconds) << reply;
    EXPECT_FLOAT_EQ(monitor.PushToTalkDelay(), seconds) << reply;
    EXPECT_THAT(port.sent(), ElementsAre("B", "#"));
  }
  port.Answer("0000\r\n>").Answer("X= 6\r\n>");
  EXPECT_EQ(MessageOf([&] { monitor.ReadPushToTalk(); }),
            "Unexpected resultX= 6\r\n> in ProcessPTTDelayInput.");
}

TEST_F(SessionTest, PushToTalkBeforeItsFirmwareIsOffAndSilent) {
  IdentifyAs("KRFMON03", "01/07/10");
  port.Answer("0100\r\n>");  // the status word says on, but the firmware has no push-to-talk
  const TPushToTalk ptt = monitor.ReadPushToTalk();
  EXPECT_FALSE(ptt.Enabled);
  EXPECT_EQ(ptt.Delay, 0);
  monitor.WritePushToTalk({true, 2});
  EXPECT_THAT(port.sent(), ElementsAre("B"));
}

TEST_F(SessionTest, VswrLevelIsOneHexadecimalDigit) {
  port.Answer("V=C\r\n>");
  monitor.WriteVSWRLevel(12);
  EXPECT_EQ(monitor.VSWRLevel(), 12);
  port.Answer("V=F\r\n>");
  monitor.WriteVSWRLevel(200);  // clamped to what one digit carries
  port.Answer("\r\nV=5>");
  EXPECT_EQ(monitor.ReadVSWRLevel(), 5);
  port.Answer("xxxxx>");  // no "V=": level 0, no error
  EXPECT_EQ(monitor.ReadVSWRLevel(), 0);
  port.Answer("V=Z\r\n>");
  EXPECT_EQ(MessageOf([&] { monitor.ReadVSWRLevel(); }), "'$Z' is not a valid integer value");
  EXPECT_THAT(port.sent(), ElementsAre("9C", "9F", "8", "8", "8"));
}

TEST_F(SessionTest, CheckOnZeroPowerIsToggledOnlyWhenItDiffers) {
  port.Answer("A=1\r\n>");
  monitor.WriteCheckOnZeroPower(true);
  EXPECT_THAT(port.sent(), ElementsAre("Q"));
  EXPECT_TRUE(monitor.CheckOnZeroPower());

  port.ClearSent();
  port.Answer("A=1\r\n>").Answer("A=0\r\n>");
  monitor.WriteCheckOnZeroPower(false);
  EXPECT_THAT(port.sent(), ElementsAre("Q", "P"));
  EXPECT_FALSE(monitor.CheckOnZeroPower());

  port.Answer("x1xxxx");  // without "A=" the second character is read
  EXPECT_TRUE(monitor.ReadCheckOnZeroPower());
  port.Answer("A=x\r\n>");
  EXPECT_EQ(MessageOf([&] { monitor.ReadCheckOnZeroPower(); }), "'x' is not a valid integer value");
}

TEST_F(SessionTest, DacGainsAreTwoDigitsForwardFirst) {
  port.Answer("G=84\r\n>");
  const uint16_t gains = monitor.ReadDACGains();
  EXPECT_EQ(gains & 0xFF, 8);
  EXPECT_EQ(gains >> 8, 4);
  port.Answer("G=12\r\n>");
  EXPECT_EQ(monitor.WriteDACGains(0x0201), 0x0201);
  port.Answer("G=99\r\n>");
  monitor.WriteDACGains(0x0F0C);  // a gain of two digits would corrupt the command
  EXPECT_THAT(port.sent(), ElementsAre("K", "J12", "J99"));
  EXPECT_EQ(monitor.DACGains(), 0x0909);
}

TEST_F(SessionTest, AlarmResetExpectsItsEcho) {
  port.Answer("A");
  monitor.CommandA();
  port.Answer("E");
  EXPECT_EQ(MessageOf([&] { monitor.CommandA(); }), "Unexpected result in CommandA.");
  EXPECT_THAT(port.sent(), ElementsAre("A", "A"));
}

TEST_F(SessionTest, PowerAlarmReplyWithoutItsPrefixNamesTheParse) {
  IdentifyAs("KRFMON03");
  port.Answer("L=35389\r\n>");
  EXPECT_EQ(MessageOf([&] { monitor.ReadHiPowerAlarm(); }),
            "Unexpected resultL=35389\r\n> in ProcessHiPowerInput.");
  port.Answer("H=35389\r\n>");
  EXPECT_EQ(MessageOf([&] { monitor.ReadLowPowerAlarm(); }),
            "Unexpected resultH=35389\r\n> in ProcessLowPowerInput.");
}

}  // namespace
}  // namespace vemo::test

// SPDX-License-Identifier: GPL-3.0-or-later
// The simulated monitor's protocol engine, driven in process: exact reply bytes.
#include "sim/SimMonitor.h"

#include <gtest/gtest.h>

#include <array>

#include "sim/SimOptions.h"

namespace vemo::sim {
namespace {

using namespace std::chrono_literals;
using namespace std::string_literals;

SimConfig Steady(const std::string& model = "KRFMON03", FirmwareDate firmware = {2010, 6, 1}) {
  SimConfig config;
  config.model = model;
  config.firmware = firmware;
  config.noise = 0;
  return config;
}

// Everything the monitor answers to bytes, as one string.
std::string Ask(SimMonitor& monitor, const std::string& bytes, SimTime at = SimTime{}) {
  std::string replies;
  for (const auto& exchange : monitor.Receive(bytes, at)) replies += exchange.reply;
  return replies;
}

TEST(SimMonitorTest, IdentificationNamesModelAndFirmwareDateInFortyCharacters) {
  struct Row {
    std::string model;
    FirmwareDate firmware;
    std::string expected;
  };
  const Row rows[] = {
      {"KRFMON03", {2010, 6, 1}, "KRFMON0306/01/10 SIMULATED MONITOR   \r\n>"},
      {"VPMon002", {1999, 12, 31}, "VPMon00212/31/99 SIMULATED MONITOR   \r\n>"},
      {"KRFMON1", {2080, 1, 8}, "KRFMON1 01/08/80 SIMULATED MONITOR   \r\n>"},
  };
  for (const Row& row : rows) {
    SimMonitor monitor(Steady(row.model, row.firmware));
    const std::string reply = Ask(monitor, "I");
    EXPECT_EQ(reply, row.expected);
    EXPECT_EQ(reply.size(), 40u);
  }
}

TEST(SimMonitorTest, FullScaleReplyHasTheModelsFormAndFollowsTheEepromWords) {
  struct Row {
    std::string model;
    double fullScale;
    std::string expected;
  };
  const Row rows[] = {
      {"KRFMON01", 625, "P=\x02\x71\r\n>"s},
      {"KRFMON02", 125, "P=\x00\x7D\r\n>"s},
      {"KRFMON03", 125, "P=\x30\xD4\x00\x01\r\n>"s},     // 12500 x 10^1 mW
      {"KRFMON04", 5000, "P=\xC3\x50\x00\x02\r\n>"s},    // 50000 x 10^2 mW
      {"VPMon002", 0.0125, "P=\x00\x7D\x00\xFF\r\n>"s},  // 125 x 10^-1 mW
  };
  for (const Row& row : rows) {
    SimConfig config = Steady(row.model);
    config.fullScale = row.fullScale;
    SimMonitor monitor(config);
    EXPECT_EQ(Ask(monitor, "7"), row.expected) << row.model << " " << row.fullScale;
  }

  // Words 32 and 34 are the full scale: writing them changes the reply and the unit once
  // the monitor has loaded them at power-up.
  SimMonitor monitor(Steady());
  EXPECT_EQ(Ask(monitor, "Y\x20\xC3\x50"s), "\xC3\x50"s);
  EXPECT_EQ(Ask(monitor, "Y\x22\x00\x02"s), "\x00\x02"s);
  EXPECT_EQ(Ask(monitor, "7"), "P=\x30\xD4\x00\x01\r\n>"s);
  EXPECT_EQ(Ask(monitor, "T"), "50.00 1.000 0\r\n>");
  monitor.PowerCycle();
  EXPECT_EQ(Ask(monitor, "7"), "P=\xC3\x50\x00\x02\r\n>"s);
  // Calibration words for 125 W now scale to 5000 W: every power reads 40 times higher,
  // in kilowatts.
  EXPECT_EQ(Ask(monitor, "T"), "2.000 0.040 0\r\n>");
}

TEST(SimMonitorTest, EarlyModelsSendReadingsInTheUnitOfTheWholeWattsTheyReport) {
  struct Row {
    std::string model;
    double fullScale, forward;
    std::string fullScaleReply, forwardField;
  };
  const Row rows[] = {
      {"KRFMON01", 999.6, 500, "P=\x03\xE8\r\n>"s, "0.500"},  // reports 1000 W: kilowatts
      {"KRFMON02", 0.6, 0.24, "P=\x00\x01\r\n>"s, "0.240"},   // reports 1 W: watts
      {"KRFMON02", 0.4, 0.24, "P=\x00\x00\r\n>"s, "240.0"},   // reports 0 W: milliwatts
      {"KRFMON03", 999.6, 500, "P=\x27\x0C\x00\x02\r\n>"s, "500.0"},
  };
  for (const Row& row : rows) {
    SimConfig config = Steady(row.model);
    config.fullScale = row.fullScale;
    config.forward = row.forward;
    config.reflected = 0;
    SimMonitor monitor(config);
    EXPECT_EQ(Ask(monitor, "7"), row.fullScaleReply) << row.model << " " << row.fullScale;
    EXPECT_EQ(Ask(monitor, "T").substr(0, 5), row.forwardField)
        << row.model << " " << row.fullScale;
  }
}

TEST(SimMonitorTest, ReadingsAreSentInTheUnitOfTheFullScale) {
  struct Row {
    double fullScale, forward, reflected;
    std::string expected;
  };
  const Row rows[] = {
      {125, 50, 1, "50.00 1.000 0\r\n>"},
      {625, 100, 6.25, "100.0 6.250 0\r\n>"},
      {5000, 1500, 20, "1.500 0.020 0\r\n>"},     // kilowatts
      {0.5, 0.1, 0.00625, "100.0 6.250 0\r\n>"},  // milliwatts
      {125, 0, 0, "0.000 0.000 0\r\n>"},
      {1000, 999.0, 1, "0.999 0.001 0\r\n>"},  // exactly 1000 W is kilowatts
      {1, 0.5, 0.001, "0.500 0.001 0\r\n>"},   // exactly 1 W is watts
  };
  for (const Row& row : rows) {
    SimConfig config = Steady();
    config.fullScale = row.fullScale;
    config.forward = row.forward;
    config.reflected = row.reflected;
    SimMonitor monitor(config);
    EXPECT_EQ(Ask(monitor, "T"), row.expected) << "full scale " << row.fullScale;
  }
}

TEST(SimMonitorTest, RawModeSendsConverterCountsThatTheCalibrationWordsDescribe) {
  SimMonitor monitor(Steady());
  EXPECT_EQ(Ask(monitor, "Z"), "Z");
  // Factor 5243 counts at 16 % (forward) and 1.6 % (reflected) of the 125 W full scale.
  EXPECT_EQ(Ask(monitor, "T"), "13108  2622R0\r\n>");

  // A line fitted through two raw readings gives back the factory words: factor = slope x
  // calibration power, offset = counts at no power.
  SimConfig config = Steady();
  config.forwardCounts = 2000;
  config.reflectedCounts = 200;
  SimMonitor other(config);
  EXPECT_EQ(Ask(other, "X\x00\x04"s), "\x00\x00\x00\x00\x00\xC8\x07\xD0"s);
  Ask(other, "Z");
  other.SetForward(10);
  other.SetReflected(10);
  EXPECT_EQ(Ask(other, "T"), " 1000  1000R0\r\n>");
  other.SetForward(30);
  other.SetReflected(0);
  EXPECT_EQ(Ask(other, "T"), " 3000     0R0\r\n>");
  EXPECT_EQ(Ask(other, "Z"), "Z");
  EXPECT_EQ(Ask(other, "T"), "30.00 0.000 0\r\n>") << "scaled readings stay in watts";
}

TEST(SimMonitorTest, CalibrationWordsScaleTheReadingsFromTheNextPowerCycleOn) {
  struct Row {
    const char* name;
    std::array<uint16_t, 4> words;  // reflected offset, forward offset, reflected and
                                    // forward factor
    std::string reading;
  };
  // 50 W forward and 1 W reflected at 125 W: 262.15 and 2621.5 counts per watt.
  const Row rows[] = {
      {"factory words", {0, 0, 5243, 5243}, "50.00 1.000 0\r\n>"},
      {"doubled factors read half", {0, 0, 10486, 10486}, "25.00 0.500 0\r\n>"},
      {"forward offset of 5 W", {0, 1311, 5243, 5243}, "45.00 1.000 0\r\n>"},
      {"reflected offset of -1 W",
       {static_cast<uint16_t>(-2621), 0, 5243, 5243},
       "50.00 2.000 0\r\n>"},
      {"no factor", {0, 0, 0, 5243}, "50.00 99999A0\r\n>"},
  };
  for (const Row& row : rows) {
    SimMonitor monitor(Steady());
    for (uint8_t address = 0; address < 4; ++address) {
      const uint16_t word = row.words[address];
      Ask(monitor, "Y"s + static_cast<char>(address) + static_cast<char>(word >> 8) +
                       static_cast<char>(word & 0xFF));
    }
    EXPECT_EQ(Ask(monitor, "T"), "50.00 1.000 0\r\n>") << row.name << ": before power cycle";
    Ask(monitor, "Z");
    monitor.PowerCycle();
    EXPECT_EQ(Ask(monitor, "T"), row.reading) << row.name;
    Ask(monitor, "Z");
    EXPECT_EQ(Ask(monitor, "T"), "13108  2622R0\r\n>") << row.name << ": the converter's counts";
  }
}

TEST(SimMonitorTest, EepromIsAMemoryOf256WordsReadAndWrittenHighByteFirst) {
  SimMonitor monitor(Steady());
  EXPECT_EQ(Ask(monitor, "X\x03\x01"s), "\x14\x7B"s) << "factor 5243";
  EXPECT_EQ(Ask(monitor, "X\x00\x01"s), "\x00\x00"s);
  EXPECT_EQ(Ask(monitor, "X\xFF\x01"s), "\xFF\xFF"s) << "an erased cell";
  EXPECT_EQ(Ask(monitor, "Y\xFF\x12\x34"s), "\x12\x34"s);
  EXPECT_EQ(Ask(monitor, "X\xFF\x01"s), "\x12\x34"s);
  EXPECT_EQ(monitor.Eeprom(0xFF), 0x1234);
  EXPECT_EQ(Ask(monitor, "X\x00\x02"s), "\x00\x00\x00\x00"s) << "two words asked, two sent";
}

TEST(SimMonitorTest, SettingsCommandsAnswerWithTheirEncodings) {
  struct Step {
    std::string command;
    std::string expected;
  };
  const Step steps[] = {
      {"B", "00C8\r\n>"},
      {"60", "00C0\r\n>"},
      {"61", "00C8\r\n>"},
      {"51", "00CC\r\n>"},
      {"50", "00C8\r\n>"},
      {"O0", "0088\r\n>"},
      {"O1", "00C8\r\n>"},
      {"U0", "0048\r\n>"},
      {"U1", "00C8\r\n>"},
      {"&1", "01C8\r\n>"},
      {"&0", "00C8\r\n>"},
      {"W1", "02C8\r\n>"},
      {"W0", "00C8\r\n>"},
      {"8", "V=7\r\n>"},
      {"9C", "V=C\r\n>"},
      {"9f", "V=C\r\n>"},
      {"90", "V=0\r\n>"},
      {"Q", "A=0\r\n>"},
      {"P", "A=1\r\n>"},
      {"Q", "A=1\r\n>"},
      {"B", "00C9\r\n>"},
      {"P", "A=0\r\n>"},
      {"L", "H=26214\r\n>"},
      {"M 2621", "H=02621\r\n>"},
      {"N1", "H=35389\r\n>"},
      {"B", "00CA\r\n>"},
      {"M99999", "H=65535\r\n>"},
      {"N0", "H=32767\r\n>"},
      {"D", "L=02621\r\n>"},
      {"E26214", "L=26214\r\n>"},
      {"G1", "L=58982\r\n>"},
      {"B", "00E8\r\n>"},
      {"K", "G=11\r\n>"},
      {"J84", "G=84\r\n>"},
      {"K", "G=84\r\n>"},
      {"#", "D=06\r\n>"},
      {"% 6", "D=06\r\n>"},
      {"%90", "D=90\r\n>"},
      {"%99", "D=90\r\n>"},
      {"A", "A"},
      {"Z", "Z"},
      {"Z", "Z"},
  };
  SimMonitor monitor(Steady("KRFMON04"));
  for (const Step& step : steps)
    EXPECT_EQ(Ask(monitor, step.command), step.expected) << step.command;
}

TEST(SimMonitorTest, RejectedArgumentsGetNoReplyAndChangeNothing) {
  SimMonitor monitor(Steady("KRFMON04"));
  for (const std::string command :
       {"52", "6x", "9G", "N2", "M 12x4", "Mxxxxx", "J8a", "%ab", "&2"}) {
    const auto exchanges = monitor.Receive(command, SimTime{});
    ASSERT_EQ(exchanges.size(), 1u) << command;
    EXPECT_EQ(exchanges[0].outcome, SimMonitor::Exchange::BadArgument) << command;
    EXPECT_EQ(exchanges[0].reply, "") << command;
  }
  EXPECT_EQ(monitor.StatusWord(), 0x00C8);
  EXPECT_EQ(Ask(monitor, "L"), "H=26214\r\n>");
}

TEST(SimMonitorTest, EachModelAndFirmwareIgnoresTheCommandsItLacks) {
  struct Row {
    std::string model;
    FirmwareDate firmware;
    std::string command;
    bool answered;
  };
  const Row rows[] = {
      {"KRFMON01", {2010, 6, 1}, "B", false},     {"KRFMON01", {2010, 6, 1}, "50", false},
      {"KRFMON01", {2010, 6, 1}, "61", false},    {"KRFMON01", {2010, 6, 1}, "O0", false},
      {"KRFMON01", {2010, 6, 1}, "L", false},     {"KRFMON01", {2010, 6, 1}, "D", false},
      {"KRFMON01", {2010, 6, 1}, "A", true},      {"KRFMON01", {2010, 6, 1}, "9C", true},
      {"KRFMON01", {2010, 6, 1}, "P", true},      {"KRFMON01", {2010, 6, 1}, "J11", true},
      {"KRFMON01", {2010, 6, 1}, "#", true},      {"KRFMON02", {2010, 6, 1}, "D", true},
      {"KRFMON02", {2010, 6, 1}, "E 2621", true}, {"KRFMON02", {2010, 6, 1}, "G1", true},
      {"KRFMON02", {2010, 6, 1}, "B", false},     {"KRFMON02", {2010, 6, 1}, "N1", false},
      {"KRFMON03", {2010, 6, 1}, "W1", false},    {"KRFMON04", {2010, 6, 1}, "W1", true},
      {"KRFMON03", {2003, 11, 19}, "U0", false},  {"KRFMON03", {2003, 11, 20}, "U0", true},
      {"KRFMON04", {2004, 3, 29}, "U1", false},   {"KRFMON04", {2004, 3, 30}, "U1", true},
      {"VPMon002", {2000, 7, 24}, "B", false},    {"VPMon002", {2000, 7, 25}, "B", true},
      {"VPMon002", {2000, 7, 24}, "60", false},   {"VPMon002", {2000, 7, 25}, "51", true},
      {"VPMon002", {2003, 10, 19}, "O0", false},  {"VPMon002", {2003, 10, 20}, "O0", true},
      {"VPMon002", {2004, 3, 29}, "U0", false},   {"VPMon002", {2002, 5, 13}, "D", false},
      {"VPMon002", {2002, 5, 14}, "D", true},     {"VPMon002", {1999, 1, 1}, "L", true},
      {"KRFMON03", {2010, 1, 7}, "&1", false},    {"KRFMON03", {2010, 1, 8}, "&1", true},
      {"KRFMON01", {2010, 1, 7}, "#", false},     {"VPMon002", {2010, 1, 8}, "% 6", true},
      {"TQAMON01", {2010, 6, 1}, "B", false},     {"TQAMON01", {2010, 6, 1}, "L", false},
      {"TQAMON01", {2010, 6, 1}, "D", false},     {"TQAMON01", {2010, 6, 1}, "#", true},
      {"TQAMON01", {2010, 6, 1}, "7", true},
  };
  for (const Row& row : rows) {
    SimMonitor monitor(Steady(row.model, row.firmware));
    const auto exchanges = monitor.Receive(row.command, SimTime{});
    ASSERT_EQ(exchanges.size(), 1u) << row.model << " " << row.command;
    EXPECT_EQ(!exchanges[0].reply.empty(), row.answered) << row.model << " " << row.command;
    if (!row.answered) {
      EXPECT_EQ(exchanges[0].outcome, SimMonitor::Exchange::Unsupported);
    }
  }
  // An ignored command still consumes its argument: the next command is read cleanly.
  SimMonitor early(Steady("KRFMON01"));
  EXPECT_EQ(Ask(early, "M 2621A"), "A");
}

TEST(SimMonitorTest, CommandsAreAssembledFromBytesArrivingOneAtATime) {
  SimMonitor monitor(Steady());
  const SimTime t0{};
  std::string replies;
  for (char byte : "M 2621X\x03\x01"s) replies += Ask(monitor, std::string(1, byte), t0 + 10ms);
  EXPECT_EQ(replies, "H=02621\r\n>\x14\x7B"s);

  // The rest of a command that comes too late: the start is dropped, the rest read afresh.
  const auto first = monitor.Receive("E 26", t0);
  EXPECT_TRUE(first.empty());
  const auto late = monitor.Receive("T", t0 + 1500ms);
  ASSERT_EQ(late.size(), 2u);
  EXPECT_EQ(late[0].outcome, SimMonitor::Exchange::Incomplete);
  EXPECT_EQ(late[0].command, "E 26");
  EXPECT_EQ(late[1].reply, "50.00 1.000 0\r\n>");

  // Bytes that start no command are reported one by one and answered by nothing.
  const auto unknown = monitor.Receive("\r\nI", t0 + 2s);
  ASSERT_EQ(unknown.size(), 3u);
  EXPECT_EQ(unknown[0].outcome, SimMonitor::Exchange::Unknown);
  EXPECT_EQ(unknown[1].outcome, SimMonitor::Exchange::Unknown);
  EXPECT_EQ(unknown[2].reply.size(), 40u);

  // A client that closes the line mid-command leaves nothing behind.
  monitor.Receive("Y\x03", t0 + 3s);
  monitor.LineClosed();
  EXPECT_EQ(Ask(monitor, "A", t0 + 3s), "A");
}

TEST(SimMonitorTest, AlarmLetterFollowsTheAlarmSettings) {
  SimMonitor monitor(Steady());
  auto alarm = [&monitor] { return Ask(monitor, "T").at(11); };
  EXPECT_EQ(alarm(), ' ');
  monitor.SetReflected(10);  // VSWR 2.62 against the 2.0 level
  EXPECT_EQ(alarm(), 'A');
  Ask(monitor, "9C");  // level 2.5
  EXPECT_EQ(alarm(), 'A');
  monitor.SetReflected(8);  // VSWR 2.33
  EXPECT_EQ(alarm(), ' ');
  monitor.SetReflected(10);
  Ask(monitor, "60");  // VSWR alarm off
  EXPECT_EQ(alarm(), ' ');
  Ask(monitor, "61");

  // Without latching the alarm goes with its cause; latched, it stays until "A".
  monitor.SetReflected(1);
  EXPECT_EQ(alarm(), ' ');
  Ask(monitor, "O0");
  monitor.SetReflected(10);
  EXPECT_EQ(alarm(), 'A');
  monitor.SetReflected(1);
  EXPECT_EQ(alarm(), 'A');
  EXPECT_EQ(Ask(monitor, "A"), "A");
  EXPECT_EQ(alarm(), ' ');

  // No forward power: an alarm only when the monitor checks VSWR on zero power.
  monitor.SetForward(0);
  EXPECT_EQ(Ask(monitor, "T"), "0.000 1.000 0\r\n>");
  Ask(monitor, "P");
  EXPECT_EQ(Ask(monitor, "T"), "0.000 1.000A1\r\n>");
  Ask(monitor, "P");
  Ask(monitor, "A");

  // Power alarms: levels are percent of the operator's full scale (125 W / 1.25).
  monitor.SetForward(50);
  Ask(monitor, "M 2621");  // 10 W
  EXPECT_EQ(alarm(), ' ') << "level set, alarm not enabled";
  Ask(monitor, "N1");
  EXPECT_EQ(alarm(), 'A');
  Ask(monitor, "N0");
  Ask(monitor, "A");
  Ask(monitor, "E26214");  // 100 W
  Ask(monitor, "G1");
  EXPECT_EQ(alarm(), 'A');
  Ask(monitor, "E13107");  // 50 W: 50 W is not below it
  Ask(monitor, "A");
  EXPECT_EQ(alarm(), ' ');

  // Raw mode shows "R" whatever the alarm.
  monitor.SetForward(5);
  Ask(monitor, "Z");
  EXPECT_EQ(alarm(), 'R');
}

TEST(SimMonitorTest, AlarmAtPowerUpHoldsUntilReset) {
  SimConfig config = Steady();
  config.status = 0x0048;  // latching on, alarm at power-up on
  SimMonitor monitor(config);
  EXPECT_EQ(Ask(monitor, "T"), "50.00 1.000A0\r\n>");
  EXPECT_EQ(Ask(monitor, "B"), "0048\r\n>");
  Ask(monitor, "A");
  EXPECT_EQ(Ask(monitor, "T"), "50.00 1.000 0\r\n>");
}

TEST(SimMonitorTest, CalibrationStepsPromptAndEndWithTheMonitorsReplies) {
  struct Row {
    const char* name;
    bool error, noPrompt;
    std::vector<std::pair<std::string, std::string>> dialogue;
  };
  const Row rows[] = {
      {"confirmed", false, false, {{"0", "PZ?>"}, {"Y", "M\r\n>"}, {"1", "PF?>"}, {"Y", "M\r\n>"}}},
      {"cancelled", false, false, {{"2", "PR?>"}, {"Q", "E\r\n>"}, {"Q", "A=0\r\n>"}}},
      {"failing",
       true,
       false,
       {{"1", "PF?>"}, {"Y", "E \r\nPF?>"}, {"Y", "E \r\nPF?>"}, {"Q", "E\r\n>"}}},
      {"without prompt", false, true, {{"0", "?\r\n>"}, {"Y\x03\x00\x05"s, "\x00\x05"s}}},
      {"abandoned by another command",
       false,
       false,
       {{"1", "PF?>"}, {"A", "A"}, {"Y\x00\x00\x07"s, "\x00\x07"s}}},
  };
  for (const Row& row : rows) {
    SimConfig config = Steady();
    config.calibrationError = row.error;
    config.noPromptCalibration = row.noPrompt;
    SimMonitor monitor(config);
    for (const auto& [command, reply] : row.dialogue)
      EXPECT_EQ(Ask(monitor, command), reply) << row.name << ": " << command;
  }
}

TEST(SimMonitorTest, ContentFaultsCorruptOnlyWhatTheyName) {
  SimConfig stray = Steady("KRFMON04");
  stray.strayPrefix = "xy";
  SimMonitor strayMonitor(stray);
  EXPECT_EQ(Ask(strayMonitor, "L"), "xyH=26214\r\n>");
  EXPECT_EQ(Ask(strayMonitor, "D"), "xyL=02621\r\n>");
  EXPECT_EQ(Ask(strayMonitor, "K"), "xyG=11\r\n>");
  EXPECT_EQ(Ask(strayMonitor, "#"), "xyD=06\r\n>");
  EXPECT_EQ(Ask(strayMonitor, "7"), "xyP=\x30\xD4\x00\x01\r\n>"s);
  EXPECT_EQ(Ask(strayMonitor, "B"), "00C8\r\n>");
  EXPECT_EQ(Ask(strayMonitor, "T"), "50.00 1.000 0\r\n>");

  SimConfig prompt = Steady();
  prompt.strayPrompt = true;
  SimMonitor promptMonitor(prompt);
  EXPECT_EQ(Ask(promptMonitor, "T"), ">50.00 1.000 0\r\n>");

  SimConfig echo = Steady();
  echo.badEepromEcho = true;
  SimMonitor echoMonitor(echo);
  EXPECT_EQ(Ask(echoMonitor, "Y\x03\x10\x00"s), "\xEF\xFF"s);
  EXPECT_EQ(Ask(echoMonitor, "X\x03\x01"s), "\x14\x7B"s) << "the word was not written";

  SimConfig garbage = Steady("KRFMON04");
  garbage.garbageNumbers = true;
  SimMonitor garbageMonitor(garbage);
  EXPECT_EQ(Ask(garbageMonitor, "T"), "----- ----- 0\r\n>");
  EXPECT_EQ(Ask(garbageMonitor, "B"), "----\r\n>");
  EXPECT_EQ(Ask(garbageMonitor, "L"), "H=-----\r\n>");
  EXPECT_EQ(Ask(garbageMonitor, "8"), "V=-\r\n>");
  EXPECT_EQ(Ask(garbageMonitor, "Q"), "A=-\r\n>");
  EXPECT_EQ(Ask(garbageMonitor, "K"), "G=--\r\n>");
  EXPECT_EQ(Ask(garbageMonitor, "#"), "D=--\r\n>");
  EXPECT_EQ(Ask(garbageMonitor, "7"), "P=\x30\xD4\x00\x01\r\n>"s) << "binary fields stay";
}

TEST(SimMonitorTest, ReadingsWanderAroundTheAppliedPower) {
  SimConfig config = Steady();
  config.noise = 0.01;
  SimMonitor monitor(config);
  double low = 1e9, high = 0;
  for (int i = 0; i < 200; ++i) {
    const double forward = std::stod(Ask(monitor, "T").substr(0, 5));
    low = std::min(low, forward);
    high = std::max(high, forward);
  }
  EXPECT_GT(low, 47.0);
  EXPECT_LT(high, 53.0);
  EXPECT_GT(high - low, 0.5) << "the readings should move";
}

TEST(SimOptionsTest, CommandLineSetsTheMonitorAndRefusesNonsense) {
  const SimOptions options =
      ParseSimOptions({"--model", "VPMon002", "--firmware=2004-03-29", "--full-scale", "625",
                       "--stop-after", "3", "--stray-prefix", "xy", "--pace", "--link", "/tmp/x",
                       "--status", "48", "--forward-counts", "2000"});
  EXPECT_EQ(options.config.model, "VPMon002");
  EXPECT_EQ(options.config.firmware, (FirmwareDate{2004, 3, 29}));
  EXPECT_EQ(options.config.fullScale, 625);
  EXPECT_EQ(options.config.stopAfter, 3);
  EXPECT_EQ(options.config.strayPrefix, "xy");
  EXPECT_TRUE(options.config.pace);
  EXPECT_EQ(options.linkPath, "/tmp/x");
  EXPECT_EQ(options.config.status, 0x48);
  EXPECT_EQ(options.config.forwardCounts, 2000);
  EXPECT_EQ(options.config.reflectedCounts, 5243);

  const std::vector<std::vector<std::string>> bad = {
      {"--firmware", "2010-02-30"},
      {"--firmware", "1980-01-01"},
      {"--firmware", "2010-6-1x"},
      {"--model", "TOOLONGID"},
      {"--full-scale", "0"},
      {"--forward", "-1"},
      {"--status", "1FFFF"},
      {"--vswr-level", "13"},
      {"--reflected-counts", "65536"},
      {"--stop-after", "1.5"},
      {"--bogus"},
      {"--link"},
      {"--silent=1"},
  };
  for (const auto& args : bad)
    EXPECT_THROW(ParseSimOptions(args), std::invalid_argument) << args[0];
}

}  // namespace
}  // namespace vemo::sim

// SPDX-License-Identifier: GPL-3.0-or-later
// Identification, the reply wait, status words and re-alignment on reply prefixes.
#include "SessionFixture.h"

#include "monitor/DateTime.h"

#include <QElapsedTimer>
#include <QTimer>

#include <sys/resource.h>

namespace vemo::test {
namespace {

using ::testing::ElementsAre;

TEST_F(SessionTest, IdentificationReadsModelAndFirmwareDate) {
  struct Row {
    const char* model;
    const char* date;
    bool accepted;
    const char* iso;
  };
  const Row rows[] = {
      {"KRFMON03", "03/15/10", true, "2010-03-15"}, {"VPMon002", "07/24/00", true, "2000-07-24"},
      {"TQAMO001", "12/31/99", true, "1999-12-31"}, {"KRFMON01", "01/01/80", true, "2080-01-01"},
      {"KRFMON02", "01/01/81", true, "1981-01-01"}, {"KRFMO999", "02/29/04", true, "2004-02-29"},
      {"ACME0001", "05/06/07", false, "2007-05-06"}};
  for (const Row& r : rows) {
    port.Answer(IdReply(r.model, r.date));
    EXPECT_EQ(monitor.Identify(), r.accepted) << r.model;
    EXPECT_EQ(monitor.ModelId(), r.model);
    EXPECT_EQ(DateToIso(monitor.FirmwareDate()), r.iso) << r.date;
  }
  EXPECT_EQ(port.sent().size(), std::size(rows));
  EXPECT_EQ(port.sent()[0], "I");
}

TEST_F(SessionTest, IdentificationEmptiesTheBufferFirstAndReturnsTheWholeReply) {
  for (char c : std::string("stale>")) buffer.Put(static_cast<uint8_t>(c));
  const std::string reply = IdReply("KRFMON04", "11/20/03") + "extra";
  port.Answer(reply);
  EXPECT_EQ(monitor.CommandI(), reply.substr(0, 40));
  EXPECT_EQ(buffer.Count(), 5);  // characters past the reply wait for the next exchange
}

TEST_F(SessionTest, FailedIdentificationLeavesNoModelAndTheDate1980) {
  IdentifyAs("KRFMON03");
  const std::string badSlash = IdReply("KRFMON03", "03-15/10");
  port.Answer(badSlash);
  EXPECT_EQ(MessageOf([&] { monitor.Identify(); }),
            "Unexpected result" + badSlash + " in CommandI.");
  EXPECT_EQ(monitor.ModelId(), "");
  EXPECT_EQ(DateToIso(monitor.FirmwareDate()), "1980-01-01");

  IdentifyAs("KRFMON03");
  port.Answer(IdReply("KRFMON03", "13/45/10"));
  EXPECT_EQ(MessageOf([&] { monitor.CommandI(); }), "'13/45/2010' is not a valid date");
  EXPECT_EQ(monitor.ModelId(), "");

  IdentifyAs("KRFMON03");
  port.Answer(IdReply("KRFMON03", "03/15/x0"));
  EXPECT_EQ(MessageOf([&] { monitor.CommandI(); }), "'x0' is not a valid integer value");
  EXPECT_EQ(DateToIso(monitor.FirmwareDate()), "1980-01-01");

  // After that the model-dependent commands are skipped.
  port.ClearSent();
  EXPECT_TRUE(monitor.ReadLatchAlarm());
  EXPECT_TRUE(port.sent().empty());
}

TEST_F(SessionTest, StrayBytesBeforeTheIdentificationAreDroppedUpToAnAcceptedModel) {
  for (const std::string stray : {"\xff", ">", "\r\n>x"}) {
    port.AnswerInChunks({{stray + IdReply("KRFMON03", "03/15/10").substr(0, 40 - stray.size()), 0},
                         {IdReply("KRFMON03", "03/15/10").substr(40 - stray.size()), 20}});
    EXPECT_TRUE(monitor.Identify()) << stray;
    EXPECT_EQ(monitor.ModelId(), "KRFMON03");
    EXPECT_EQ(DateToIso(monitor.FirmwareDate()), "2010-03-15");
    EXPECT_EQ(buffer.Count(), 0);
  }
  // Without an accepted model anywhere the reply fails as it came.
  const std::string unknown = "x" + IdReply("ACME0001", "05/06/07").substr(0, 39);
  port.Answer(unknown);
  EXPECT_EQ(MessageOf([&] { monitor.Identify(); }),
            "Unexpected result" + unknown + " in CommandI.");
  EXPECT_EQ(monitor.ModelId(), "");
}

TEST_F(SessionTest, ReplyArrivingInPiecesIsAssembled) {
  port.AnswerInChunks({{"KRFMON03", 30}, {"06/0", 20}, {"1/12", 1}, {std::string(24, ' '), 40}});
  EXPECT_TRUE(monitor.Identify());
  EXPECT_EQ(DateToIso(monitor.FirmwareDate()), "2012-06-01");
}

TEST_F(SessionTest, OtherEventsRunWhileTheSessionWaits) {
  int ticks = 0;
  QTimer timer;
  timer.setInterval(10);
  QObject::connect(&timer, &QTimer::timeout, &timer, [&] { ++ticks; });
  timer.start();
  port.Answer("Z", 150);
  monitor.CommandZ();
  EXPECT_GE(ticks, 5);
}

TEST_F(FastSessionTest, SilentMonitorTimesOutAtTheLimit) {
  struct Row {
    std::function<void()> exchange;
    const char* message;
    double seconds;
  };
  const Row rows[] = {
      {[&] { monitor.CommandI(); }, "Timeout", 4},
      {[&] { monitor.CommandT(); }, "Timeout", 5},
      {[&] { monitor.CommandZ(); }, "Timeout", 2},
      {[&] { monitor.Command7(); }, "Timeout", 3},
      {[&] { monitor.ReadEeprom(3); }, "Timeout while reading eeprom", 2},
      {[&] { monitor.WriteEeprom(3, 7); }, "Error writing to EEPROM (no reply)", 2},
  };
  for (const Row& r : rows) {
    port.Silence();
    const WallTime start = clock.Now();
    EXPECT_EQ(MessageOf(r.exchange), r.message);
    const double waited = std::chrono::duration<double>(clock.Now() - start).count();
    // Never early; the late side is bounded by one wake-up of the wait (200 ms of real
    // time, 2 s on this clock) and is checked on the real clock below.
    EXPECT_GE(waited, r.seconds) << r.message;
    EXPECT_LT(waited, r.seconds + 4) << r.message;
  }
}

TEST_F(FastSessionTest, PartialReplyStillTimesOut) {
  port.Answer("P=\x02");
  EXPECT_EQ(MessageOf([&] { monitor.Command7(); }), "Timeout");
  port.Answer("\x12");
  EXPECT_EQ(MessageOf([&] { monitor.ReadEeprom(0); }), "Timeout while reading eeprom");
}

TEST_F(SessionTest, WaitingForASilentMonitorEndsAtTheLimitAndTakesNoProcessorTime) {
  rusage before{}, after{};
  getrusage(RUSAGE_SELF, &before);
  QElapsedTimer elapsed;
  elapsed.start();
  port.Silence();
  EXPECT_EQ(MessageOf([&] { monitor.CommandA(); }), "Timeout");
  getrusage(RUSAGE_SELF, &after);
  const auto cpu = [](const rusage& u) {
    return u.ru_utime.tv_sec + u.ru_stime.tv_sec + (u.ru_utime.tv_usec + u.ru_stime.tv_usec) * 1e-6;
  };
  EXPECT_GE(elapsed.elapsed(), 2000);
  EXPECT_LT(elapsed.elapsed(), 3000);
  EXPECT_LT(cpu(after) - cpu(before), 0.1);  // a busy poll would burn the whole 2 s
}

TEST_F(SessionTest, StatusWordDecodesEveryFlagWithLatchAndPowerUpInverted) {
  IdentifyAs("KRFMON04");
  struct Row {
    const char* word;
    bool zero, hi, relay, alarm, low, latch, powerUp, ptt, relay2;
  };
  const Row rows[] = {
      {"00A9", true, false, false, true, true, true, false, false, false},
      {"0000", false, false, false, false, false, true, true, false, false},
      {"03FF", true, true, true, true, true, false, false, true, true},
      {"FC10", false, false, false, false, false, true, true, false, false},
      {"0206", false, true, true, false, false, true, true, false, true},
  };
  for (const Row& r : rows) {
    port.Answer(std::string(r.word) + "\r\nx");
    EXPECT_TRUE(monitor.ReadAlarmEnable() == r.alarm) << r.word;
    EXPECT_EQ(monitor.CheckOnZeroPower(), r.zero) << r.word;
    EXPECT_EQ(monitor.HiPowerEnabled(), r.hi) << r.word;
    EXPECT_EQ(monitor.RelaySense(), r.relay) << r.word;
    EXPECT_EQ(monitor.LowPowerEnabled(), r.low) << r.word;
    EXPECT_EQ(monitor.LatchAlarm(), r.latch) << r.word;
    EXPECT_EQ(monitor.AlarmAtPowerUp(), r.powerUp) << r.word;
    EXPECT_EQ(monitor.PushToTalkEnabled(), r.ptt) << r.word;
    EXPECT_EQ(monitor.Relay2Sense(), r.relay2) << r.word;
  }
  EXPECT_EQ(port.sent(), std::vector<std::string>(std::size(rows), "B"));
}

TEST_F(SessionTest, StatusReplyMustEndWithItsLineBreakAtPositionFive) {
  IdentifyAs("KRFMON03");
  port.Answer("00A9\n\r>");  // LF CR is accepted as well
  EXPECT_EQ(monitor.WriteRelaySense(true), 0x00A9);
  port.Answer("0A9\r\n>");
  EXPECT_EQ(MessageOf([&] { monitor.WriteAlarmEnable(true); }),
            "Unexpected result0A9\r\n> in command6.");
  port.Answer("00A9xy");
  EXPECT_EQ(MessageOf([&] { monitor.ReadLatchAlarm(); }), "Unexpected result00A9xy in commandB.");
  port.Answer("00G9\r\n");
  EXPECT_EQ(MessageOf([&] { monitor.ReadLatchAlarm(); }), "'$00G9' is not a valid integer value");
  EXPECT_THAT(port.sent(), ElementsAre("51", "61", "B", "B"));
}

TEST_F(SessionTest, StrayCharactersBeforeAReplyPrefixAreDropped) {
  IdentifyAs("KRFMON03");
  // Two stray characters: the tail from "L=" is kept and two more characters are read.
  port.AnswerInChunks({{"xyL=35389\r", 0}, {"\n>", 20}});
  const TPowerAlarm alarm = monitor.ReadLowPowerAlarm();
  EXPECT_TRUE(alarm.Enabled);
  EXPECT_EQ(alarm.Level, 10);
  EXPECT_EQ(buffer.Count(), 0);

  port.Answer("junk\r\n>");
  EXPECT_EQ(MessageOf([&] { monitor.ReadDACGains(); }),
            "Unexpected resultjunk\r\n> in ProcessDACGainInput.");
}

TEST_F(SessionTest, ErrorsOfThePortPassThroughUnchanged) {
  port.FailSends("Port not open");
  EXPECT_EQ(MessageOf([&] { monitor.CommandT(); }), "Port not open");
  EXPECT_EQ(MessageOf([&] { monitor.WriteEeprom(1, 2); }), "Port not open");
}

}  // namespace
}  // namespace vemo::test

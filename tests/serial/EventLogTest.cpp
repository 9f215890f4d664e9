// SPDX-License-Identifier: GPL-3.0-or-later
#include "serial/EventLog.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QTemporaryDir>
#include <deque>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "serial/SerialErrors.h"

namespace vemo {
namespace {

std::vector<std::uint8_t> Bytes(std::string_view s) {
  return {s.begin(), s.end()};
}

LogEntry Entry(LogType type, LogSubtype subtype, std::uint32_t timeMs, std::uint32_t data,
               std::string_view extra = {}) {
  return {type, subtype, timeMs, data, Bytes(extra)};
}

class LogFile : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(dir_.isValid());
    options_.fileName = QDir(dir_.path()).filePath("SERIAL.LOG").toStdString();
    options_.deviceName = "COM3";
  }

  std::vector<std::string> Lines() const {
    std::ifstream in(options_.fileName);
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
  }

  // The entry lines of the file written for these entries, after the six header lines.
  std::vector<std::string> Written(const std::vector<LogEntry>& entries) {
    EXPECT_EQ(ecOK, EventLog::WriteFile(entries, options_, false));
    auto lines = Lines();
    if (lines.size() < 6) return {};
    return {lines.begin() + 6, lines.end()};
  }

  QTemporaryDir dir_;
  LogOptions options_;
  EventLog log_;
};

TEST_F(LogFile, HeaderNamesToolSystemDeviceAndColumns) {
  ASSERT_EQ(ecOK, EventLog::WriteFile({Entry(LogType::Thread, LogSubtype::Start, 0, 0)}, options_,
                                      false));
  const auto lines = Lines();
  ASSERT_EQ(7u, lines.size());
  EXPECT_EQ("SERIAL v1.00", lines[0]);
  EXPECT_EQ(0u, lines[1].rfind("Compiler : ", 0));
  EXPECT_GT(lines[1].size(), 11u);
  EXPECT_EQ(0u, lines[2].rfind("Operating System : Linux ", 0));
  EXPECT_LE(lines[2].size(), 19u + 80u);
  EXPECT_EQ("Device: COM3", lines[3]);
  EXPECT_EQ("Time      Type      SubType       Data      OtherData", lines[4]);
  EXPECT_EQ("--------  --------  ------------  --------  ---------", lines[5]);
}

TEST_F(LogFile, EntriesAreWrittenInColumns) {
  const std::vector<LogEntry> entries = {
      Entry(LogType::Dispatch, LogSubtype::ReadCom, 1234, 4, "OK\r\n"),
      Entry(LogType::Dispatch, LogSubtype::WriteCom, 10, 3, "T1 "),
      Entry(LogType::Trigger, LogSubtype::Avail, 61001, 4),
      Entry(LogType::TrgHdAlc, LogSubtype::Window, 0, 0x2A00017),
      Entry(LogType::TrDatChg, LogSubtype::AvailTrigger, 5, 1),
      Entry(LogType::Thread, LogSubtype::None, 7, 0),
      Entry(LogType::Telnet, LogSubtype::RecvDo, 8, 1),
      Entry(LogType::Telnet, LogSubtype::RecvDo, 8, 43),
      Entry(LogType::Dispatch, LogSubtype::ModemStatus, 9, 0xB1),
      Entry(LogType::TrigAllc, LogSubtype::StatusTrigger, 9, 2, "\x01"),
      Entry(LogType::TrigDisp, LogSubtype::StatusTrigger, 9, 2, std::string_view("\0", 1)),
      // Past 10^7 ms the seconds grow a digit; the point stays before the milliseconds.
      Entry(LogType::Dispatch, LogSubtype::ReadCom, 12345678, 1, "!"),
  };
  const std::vector<std::string> expected = {
      "0001.234  Dispatch  ReadCom       00000004  OK[0D][0A]",
      "0000.010  Dispatch  WriteCom      00000003  T1[20]",
      "0061.001  Trigger   Avail         00000004  ",
      "0000.000  TrgHdAlc  Window        02a00017  ",
      "0000.005  TrDatChg  Avail         00000001  ",
      "0000.007  Thread                  00000000  ",
      "0000.008  Telnet    Recv DO       00000001  [Echo]",
      "0000.008  Telnet    Recv DO       0000002b  []",
      "0000.009  Dispatch  Modem status  000000b1   (DCTS CTS DSR DCD)",
      "0000.009  TrigAllc  Status        00000002  (Modem status)",
      "0000.009  TrigDisp  Status        00000002  (Not active)",
      "12345.678  Dispatch  ReadCom       00000001  !",
  };
  EXPECT_EQ(expected, Written(entries));
}

TEST_F(LogFile, ExtraBytesFollowTheByteStyle) {
  const std::vector<LogEntry> entries = {
      Entry(LogType::Dispatch, LogSubtype::ReadCom, 0, 2, "A "),
      Entry(LogType::User, LogSubtype::None, 0, 2, "A "),
  };
  const struct {
    bool hex;
    bool allHex;
    std::vector<std::string> lines;
  } cases[] = {
      {true,
       false,
       {"0000.000  Dispatch  ReadCom       00000002  A[20]",
        "0000.000  User                    00000002  A[20]"}},
      {false,
       false,
       {"0000.000  Dispatch  ReadCom       00000002  A ",
        "0000.000  User                    00000002  A "}},
      {true,
       true,
       {"0000.000  Dispatch  ReadCom       00000002  [41][20]",
        "0000.000  User                    00000002  A "}},
  };
  for (const auto& c : cases) {
    options_.hex = c.hex;
    options_.allHex = c.allHex;
    EXPECT_EQ(c.lines, Written(entries));
  }
}

TEST_F(LogFile, LongExtrasContinueUnderTheirColumn) {
  const std::string prefix = "0000.000  Dispatch  ReadCom       00000028  ";
  const std::string indent(44, ' ');
  const std::vector<std::string> expected = {prefix + std::string(33, 'x'),
                                             indent + std::string(33, 'x'),
                                             indent + std::string(4, 'x') + "[0D]"};
  EXPECT_EQ(
      expected,
      Written({Entry(LogType::Dispatch, LogSubtype::ReadCom, 0, 40, std::string(70, 'x') + "\r")}));
}

TEST_F(LogFile, FullBufferDropsTheOldestEntries) {
  constexpr std::uint32_t kEntry = EventLog::kHeaderBytes + 2;
  options_.size = 3 * kEntry;
  ASSERT_EQ(ecOK, log_.Control(tlOn, options_));
  for (std::uint32_t i = 1; i <= 4; ++i)
    log_.Add(Entry(LogType::Dispatch, LogSubtype::ReadCom, i, i, "ab"));
  // As large as the whole buffer: not recorded, the others stay.
  log_.Add(Entry(LogType::Dispatch, LogSubtype::ReadCom, 5, 5, std::string(3 * kEntry - 14, 'z')));
  ASSERT_EQ(ecOK, log_.Control(tlDump, options_));
  auto lines = Lines();
  ASSERT_EQ(9u, lines.size());
  EXPECT_EQ("0000.002  Dispatch  ReadCom       00000002  ab", lines[6]);
  EXPECT_EQ("0000.004  Dispatch  ReadCom       00000004  ab", lines[8]);

  // One byte smaller fits and pushes everything else out.
  ASSERT_EQ(ecOK, log_.Control(tlOn, options_));
  log_.Add(Entry(LogType::Dispatch, LogSubtype::ReadCom, 1, 1, "ab"));
  log_.Add(Entry(LogType::Dispatch, LogSubtype::ReadCom, 6, 6, std::string(3 * kEntry - 15, 'y')));
  ASSERT_EQ(ecOK, log_.Control(tlDump, options_));
  lines = Lines();
  ASSERT_LE(7u, lines.size());
  EXPECT_EQ(0u, lines[6].rfind("0000.006", 0));
}

TEST_F(LogFile, EntriesWrappingRoundTheBufferComeBackIntact) {
  // Compare the ring against a plain list that drops from the front by the same sizes.
  options_.size = 500;
  ASSERT_EQ(ecOK, log_.Control(tlOn, options_));
  std::mt19937 random(7);
  std::deque<LogEntry> model;
  std::size_t held = 0;
  for (std::uint32_t i = 0; i < 2000; ++i) {
    std::string extra(random() % 60, '\0');
    for (char& c : extra) c = static_cast<char>('a' + random() % 26);
    const LogEntry entry = Entry(LogType::Dispatch, LogSubtype::ReadCom, i, i, extra);
    log_.Add(entry);
    const std::size_t size = EventLog::kHeaderBytes + extra.size();
    while (held + size > options_.size) {
      held -= EventLog::kHeaderBytes + model.front().extra.size();
      model.pop_front();
    }
    model.push_back(entry);
    held += size;
  }
  ASSERT_EQ(ecOK, log_.Control(tlDump, options_));
  const auto fromRing = Lines();
  ASSERT_GT(model.size(), 5u);
  ASSERT_EQ(ecOK, EventLog::WriteFile({model.begin(), model.end()}, options_, false));
  EXPECT_EQ(Lines(), fromRing);
}

TEST_F(LogFile, TimeStampsCountFromTheClockRestart) {
  ASSERT_EQ(ecOK, log_.Control(tlOn, options_));
  log_.RestartClock();
  log_.Add(LogType::TrgHdAlc, LogSubtype::Window, 17);
  const std::uint8_t bytes[] = {'O', 'K'};
  log_.Add(LogType::Dispatch, LogSubtype::ReadCom, 2, bytes);
  ASSERT_EQ(ecOK, log_.Control(tlDump, options_));
  const auto lines = Lines();
  ASSERT_EQ(8u, lines.size());
  EXPECT_EQ(0u, lines[6].rfind("0000.", 0)) << lines[6];
  EXPECT_EQ("OK", lines[7].substr(lines[7].size() - 2));
}

TEST_F(LogFile, ControlFollowsTheTraceRules) {
  options_.size = EventLog::kMaxBytes + 1;
  EXPECT_EQ(ecBadArgument, log_.Control(tlOn, options_));
  EXPECT_EQ(tlOff, log_.State());
  options_.size = 1000;
  ASSERT_EQ(ecOK, log_.Control(tlOn, options_));
  log_.Add(Entry(LogType::Thread, LogSubtype::Start, 1, 0));
  log_.Control(tlPause, options_);
  log_.Add(Entry(LogType::Thread, LogSubtype::Exit, 2, 0));  // not recorded while paused
  log_.Control(tlOn, options_);
  log_.Add(Entry(LogType::Thread, LogSubtype::Sleep, 3, 0));
  options_.fileName = QDir(dir_.path()).filePath("missing/SERIAL.LOG").toStdString();
  EXPECT_EQ(ecFileNotFound, log_.Control(tlAppend, options_));
  EXPECT_EQ(tlOff, log_.State());

  options_.fileName = QDir(dir_.path()).filePath("SERIAL.LOG").toStdString();
  ASSERT_EQ(ecOK, log_.Control(tlOn, options_));
  log_.Add(Entry(LogType::Thread, LogSubtype::Start, 1, 0));
  log_.Control(tlClear, options_);
  log_.Add(Entry(LogType::Thread, LogSubtype::Wake, 4, 0));
  options_.size = 2000;
  ASSERT_EQ(ecOK, log_.Resize(options_));  // running: restarted empty
  log_.Add(Entry(LogType::Thread, LogSubtype::Sleep, 5, 0));
  ASSERT_EQ(ecOK, log_.Control(tlDump, options_));
  const auto lines = Lines();
  ASSERT_EQ(7u, lines.size());
  EXPECT_EQ("0000.005  Thread    Sleep         00000000  ", lines[6]);
}

}  // namespace
}  // namespace vemo

// SPDX-License-Identifier: GPL-3.0-or-later
#include "serial/Trace.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QTemporaryDir>
#include <atomic>
#include <fstream>
#include <sstream>
#include <string>
#include <string_view>
#include <thread>

#include "serial/SerialErrors.h"

namespace vemo {
namespace {

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

std::span<const std::uint8_t> Bytes(std::string_view s) {
  return {reinterpret_cast<const std::uint8_t*>(s.data()), s.size()};
}

class TraceFile : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(dir_.isValid());
    options_.fileName = Path("SERIAL.TRC");
  }
  std::string Path(const char* name) const {
    return QDir(dir_.path()).filePath(name).toStdString();
  }
  std::string Contents() const { return ReadFile(options_.fileName); }
  bool FileExists() const { return QFile::exists(QString::fromStdString(options_.fileName)); }

  // The modem exchange: AT and CR sent, OK CR LF received.
  void RecordExchange() {
    ASSERT_EQ(ecOK, trace_.Control(tlOn, options_));
    trace_.Add(Trace::kTransmit, Bytes("AT\r"));
    trace_.Add(Trace::kReceive, Bytes("OK\r\n"));
  }

  QTemporaryDir dir_;
  TraceOptions options_;
  Trace trace_;
};

TEST_F(TraceFile, ExchangeIsWrittenInBlocksPerDirection) {
  const struct {
    bool hex;
    bool allHex;
    const char* expected;
  } cases[] = {
      {true, false, "Transmit: \nAT[0D]\n\nReceive: \nOK[0D][0A]\n"},
      {false, false, "Transmit: \nAT[13]\n\nReceive: \nOK[13][10]\n"},
      {true, true, "Transmit: \n[41][54][0D]\n\nReceive: \n[4F][4B][0D][0A]\n"},
      {false, true, "Transmit: \n[41][54][0D]\n\nReceive: \n[4F][4B][0D][0A]\n"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.expected);
    options_.hex = c.hex;
    options_.allHex = c.allHex;
    RecordExchange();
    EXPECT_EQ(ecOK, trace_.Control(tlDump, options_));
    EXPECT_EQ(c.expected, Contents());
    EXPECT_EQ(tlOff, trace_.State());
  }
}

TEST_F(TraceFile, PrintableRuleDependsOnHex) {
  // Space, "!", "~", DEL, a one-digit, a two-digit and a three-digit control/high byte.
  const std::string_view bytes("\x20!~\x7F\x05\x1B\xC8", 7);
  const struct {
    bool hex;
    const char* line;
  } cases[] = {
      {true, "[20]!~[7F][05][1B][C8]"},
      {false, " !~[127][5][27][200]"},
  };
  for (const auto& c : cases) {
    options_.hex = c.hex;
    ASSERT_EQ(ecOK, trace_.Control(tlOn, options_));
    trace_.Add(Trace::kReceive, Bytes(bytes));
    ASSERT_EQ(ecOK, trace_.Control(tlDump, options_));
    EXPECT_EQ(std::string("Receive: \n") + c.line + "\n", Contents());
  }
}

TEST_F(TraceFile, LinesWrapAtSeventyEightColumns) {
  ASSERT_EQ(ecOK, trace_.Control(tlOn, options_));
  trace_.Add(Trace::kTransmit, Bytes(std::string(100, 'x')));
  trace_.Add(Trace::kReceive, Bytes(std::string(20, '\r')));  // 4 columns each
  trace_.Add('X', 'z');
  ASSERT_EQ(ecOK, trace_.Control(tlDump, options_));
  std::string cr19;
  for (int i = 0; i < 19; ++i) cr19 += "[0D]";
  EXPECT_EQ("Transmit: \n" + std::string(78, 'x') + "\n" + std::string(22, 'x') +
                "\n\nReceive: \n" + cr19 + "\n[0D]\n\nSpecial-X: \nz\n",
            Contents());
}

TEST_F(TraceFile, FullBufferKeepsTheNewestEntries) {
  options_.size = 10000;
  ASSERT_EQ(ecOK, trace_.Control(tlOn, options_));
  std::string sent;
  for (int i = 0; i < 25003; ++i) sent += static_cast<char>('a' + i % 26);
  trace_.Add(Trace::kTransmit, Bytes(sent.substr(0, 7)));  // the rest in single bytes
  for (std::size_t i = 7; i < sent.size(); ++i) trace_.Add(Trace::kTransmit, sent[i]);
  ASSERT_EQ(ecOK, trace_.Control(tlDump, options_));

  std::istringstream file(Contents());
  std::string line;
  std::getline(file, line);
  EXPECT_EQ("Transmit: ", line);
  std::string traced;
  while (std::getline(file, line)) {
    EXPECT_LE(line.size(), 78u);
    traced += line;
  }
  EXPECT_EQ(sent.substr(sent.size() - 10000), traced);
}

TEST_F(TraceFile, StateRequestsFollowTheControlRules) {
  // Nothing recorded or trace off: no file, success.
  EXPECT_EQ(ecOK, trace_.Control(tlDump, options_));
  EXPECT_EQ(ecOK, trace_.Control(tlPause, options_));
  EXPECT_EQ(tlOff, trace_.State());
  ASSERT_EQ(ecOK, trace_.Control(tlOn, options_));
  EXPECT_EQ(ecOK, trace_.Control(tlDump, options_));
  EXPECT_FALSE(FileExists());

  // Pause holds the entries and ignores new bytes; tlOn resumes.
  ASSERT_EQ(ecOK, trace_.Control(tlOn, options_));
  trace_.Add(Trace::kTransmit, Bytes("A"));
  trace_.Control(tlPause, options_);
  EXPECT_EQ(tlPause, trace_.State());
  EXPECT_FALSE(trace_.Recording());
  trace_.Add(Trace::kTransmit, Bytes("lost"));
  trace_.Control(tlOn, options_);
  trace_.Add(Trace::kTransmit, Bytes("B"));
  ASSERT_EQ(ecOK, trace_.Control(tlDump, options_));
  EXPECT_EQ("Transmit: \nAB\n", Contents());

  // tlOn on a running trace and tlClear both empty it.
  ASSERT_EQ(ecOK, trace_.Control(tlOn, options_));
  trace_.Add(Trace::kTransmit, Bytes("gone"));
  trace_.Control(tlOn, options_);
  trace_.Add(Trace::kReceive, Bytes("C"));
  trace_.Control(tlPause, options_);
  trace_.Control(tlClear, options_);
  EXPECT_EQ(tlPause, trace_.State());
  trace_.Control(tlOn, options_);
  trace_.Add(Trace::kReceive, Bytes("D"));
  // tlAppend adds to the existing file.
  ASSERT_EQ(ecOK, trace_.Control(tlAppend, options_));
  EXPECT_EQ("Transmit: \nAB\nReceive: \nD\n", Contents());

  // tlOff discards.
  ASSERT_EQ(ecOK, trace_.Control(tlOn, options_));
  trace_.Add(Trace::kReceive, Bytes("E"));
  trace_.Control(tlOff, options_);
  EXPECT_EQ(ecOK, trace_.Control(tlDump, options_));
  EXPECT_EQ("Transmit: \nAB\nReceive: \nD\n", Contents());
}

TEST_F(TraceFile, SizesOutsideTheLimitsAreRefused) {
  for (const std::uint32_t size : {0u, Trace::kMaxEntries + 1}) {
    options_.size = size;
    EXPECT_EQ(ecBadArgument, trace_.Control(tlOn, options_)) << size;
    EXPECT_EQ(tlOff, trace_.State());
  }
  options_.size = Trace::kMaxEntries;
  EXPECT_EQ(ecOK, trace_.Control(tlOn, options_));
  trace_.Control(tlOff, options_);
}

TEST_F(TraceFile, SizeChangeRestartsARunningTraceAndStopsAPausedOne) {
  options_.size = 4;
  ASSERT_EQ(ecOK, trace_.Control(tlOn, options_));
  trace_.Add(Trace::kTransmit, Bytes("old"));
  options_.size = 2;
  ASSERT_EQ(ecOK, trace_.Resize(options_));
  EXPECT_EQ(tlOn, trace_.State());
  trace_.Add(Trace::kTransmit, Bytes("new"));
  ASSERT_EQ(ecOK, trace_.Control(tlDump, options_));
  EXPECT_EQ(
      "Transmit: \n"
      "ew\n",  // two entries left of "new"
      Contents());

  ASSERT_EQ(ecOK, trace_.Control(tlOn, options_));
  trace_.Control(tlPause, options_);
  options_.size = 0;
  EXPECT_EQ(ecOK, trace_.Resize(options_));  // paused: switched off, size not used
  EXPECT_EQ(tlOff, trace_.State());
  options_.size = 5;
  EXPECT_EQ(ecOK, trace_.Resize(options_));  // off: nothing to do
  EXPECT_EQ(tlOff, trace_.State());
}

TEST_F(TraceFile, FileErrorsAreReturnedAndTheEntriesDiscarded) {
  const struct {
    std::string fileName;
    int result;
  } cases[] = {
      {Path("missing/SERIAL.TRC"), ecFileNotFound},
      {dir_.path().toStdString(), -EISDIR},
      {"/dev/full", -ENOSPC},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.fileName);
    options_.fileName = c.fileName;
    RecordExchange();
    EXPECT_EQ(c.result, trace_.Control(tlDump, options_));
    EXPECT_EQ(tlOff, trace_.State());
  }
}

TEST_F(TraceFile, ThreadsMayAddWhileTheTraceIsControlled) {
  options_.size = 1000;
  ASSERT_EQ(ecOK, trace_.Control(tlOn, options_));
  std::atomic<bool> stop{false};
  auto writer = [&](char kind) {
    while (!stop) trace_.Add(kind, Bytes("0123456789"));
  };
  std::thread receive(writer, Trace::kReceive);
  std::thread transmit(writer, Trace::kTransmit);
  for (int i = 0; i < 200; ++i) {
    trace_.Control(i % 3 == 0 ? tlPause : tlOn, options_);
    if (i % 50 == 49) trace_.Control(tlClear, options_);
  }
  trace_.Control(tlOn, options_);
  const int result = trace_.Control(tlDump, options_);
  stop = true;
  receive.join();
  transmit.join();
  ASSERT_EQ(ecOK, result);
  std::size_t bytes = 0;
  std::istringstream file(Contents());
  for (std::string line; std::getline(file, line);) {
    if (line != "Receive: " && line != "Transmit: ") {
      EXPECT_EQ(std::string::npos, line.find_first_not_of("0123456789")) << line;
      bytes += line.size();
    }
  }
  EXPECT_LE(bytes, 1000u);
}

}  // namespace
}  // namespace vemo

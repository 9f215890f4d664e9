// SPDX-License-Identifier: GPL-3.0-or-later
// The port component against real pseudo-terminals: properties, opening and its errors,
// sending and receiving, the avail event's rules, trace, log and triggers.

#include <fcntl.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include "ComPortFixture.h"
#include "serial/SerialErrors.h"

namespace vemo {
namespace {

using namespace test;

TEST_F(ComPortTest, FreshComponentHoldsItsDefaults) {
  TComPort fresh;
  EXPECT_EQ(dlWin32, fresh.DeviceLayer());
  EXPECT_EQ(0, fresh.ComNumber());
  EXPECT_EQ(19200, fresh.Baud());
  EXPECT_TRUE(fresh.PromptForPort());
  EXPECT_EQ(pNone, fresh.Parity());
  EXPECT_EQ(8, fresh.DataBits());
  EXPECT_EQ(1, fresh.StopBits());
  EXPECT_EQ(4096, fresh.InSize());
  EXPECT_EQ(4096, fresh.OutSize());
  EXPECT_TRUE(fresh.AutoOpen());
  EXPECT_FALSE(fresh.Open());
  EXPECT_TRUE(fresh.DTR());
  EXPECT_TRUE(fresh.RTS());
  EXPECT_EQ(0, fresh.HWFlowOptions());
  EXPECT_EQ(swfNone, fresh.SWFlowOptions());
  EXPECT_EQ(17, fresh.XOnChar());
  EXPECT_EQ(19, fresh.XOffChar());
  EXPECT_EQ(0, fresh.BufferFull());
  EXPECT_EQ(0, fresh.BufferResume());
  EXPECT_EQ(tlOff, fresh.Tracing());
  EXPECT_EQ(10000u, fresh.TraceSize());
  EXPECT_EQ("SERIAL.TRC", fresh.TraceName());
  EXPECT_TRUE(fresh.TraceHex());
  EXPECT_FALSE(fresh.TraceAllHex());
  EXPECT_EQ(tlOff, fresh.Logging());
  EXPECT_EQ(10000u, fresh.LogSize());
  EXPECT_EQ("SERIAL.LOG", fresh.LogName());
  EXPECT_TRUE(fresh.LogHex());
  EXPECT_FALSE(fresh.LogAllHex());
  EXPECT_TRUE(fresh.UseMSRShadow());
  EXPECT_TRUE(fresh.UseEventWord());
  EXPECT_EQ(10, fresh.CommNotificationLevel());
  EXPECT_EQ(tmAuto, fresh.TapiMode());
  EXPECT_FALSE(fresh.RS485Mode());
  EXPECT_EQ(1, fresh.AvailTriggerLength());
  EXPECT_EQ(TPortState::Closed, fresh.PortState());
}

TEST_F(ComPortTest, SettersNormaliseWhatTheyStore) {
  TComPort p;
  p.SetStopBits(0);
  EXPECT_EQ(1, p.StopBits());
  p.SetStopBits(5);
  EXPECT_EQ(2, p.StopBits());
  p.SetTraceSize(5000000);
  EXPECT_EQ(4000000u, p.TraceSize());
  p.SetLogSize(20000000);
  EXPECT_EQ(16000000u, p.LogSize());
  p.SetTraceName(std::string(300, 'n'));
  EXPECT_EQ(255u, p.TraceName().size());

  // A closed port keeps only tlOn of a trace or log request.
  for (auto [request, stored] : {std::pair{tlDump, tlOff},
                                 {tlOn, tlOn},
                                 {tlPause, tlOff},
                                 {tlAppend, tlOff},
                                 {tlClear, tlOff}}) {
    p.SetTracing(request);
    EXPECT_EQ(stored, p.Tracing()) << int(request);
    p.SetLogging(request);
    EXPECT_EQ(stored, p.Logging()) << int(request);
  }

  p.SetBufferFull(5000);  // above InSize: 90 % of the value
  EXPECT_EQ(4500, p.BufferFull());
  p.SetBufferResume(4600);  // above BufferFull: 10 % of BufferFull
  EXPECT_EQ(450, p.BufferResume());

  TComPort hw;
  hw.SetRS485Mode(true);
  EXPECT_FALSE(hw.RTS());  // RS-485 lowers RTS
  hw.SetHWFlowOptions(hwfRequireCTS);
  EXPECT_FALSE(hw.RS485Mode());
  EXPECT_EQ(3686, hw.BufferFull());
  EXPECT_EQ(409, hw.BufferResume());
  hw.SetRS485Mode(true);
  EXPECT_EQ(0, hw.HWFlowOptions());

  TComPort sw;
  sw.SetSWFlowOptions(swfBoth);
  EXPECT_EQ(3072, sw.BufferFull());
  EXPECT_EQ(1024, sw.BufferResume());

  sw.SetDeviceLayer(dlFossil);  // no dispatcher for that layer here
  EXPECT_EQ(dlWin32, sw.DeviceLayer());
}

TEST_F(ComPortTest, OpeningWithoutPortNumberAsksTheSelector) {
  TComPort p;
  auto expectNoPortSelected = [&] {
    try {
      p.SetOpen(true);
      ADD_FAILURE() << "opened without a port";
    } catch (const ENoPortSelected& e) {
      EXPECT_EQ(ecNoPortSelected, e.ErrorCode());
      EXPECT_STREQ("The ComNumber property of the TComPort has not been set", e.what());
    }
    EXPECT_EQ(TPortState::Closed, p.PortState());
    EXPECT_FALSE(p.Open());
  };
  expectNoPortSelected();  // no selector installed

  int asked = 0;
  TCustomComPort::SetPortSelector([&]() -> std::optional<int> {
    ++asked;
    return std::nullopt;
  });
  expectNoPortSelected();  // cancelled
  EXPECT_EQ(1, asked);

  p.SetPromptForPort(false);
  expectNoPortSelected();  // not even asked
  EXPECT_EQ(1, asked);

  p.SetPromptForPort(true);
  TCustomComPort::SetPortSelector([] { return std::optional<int>(7); });
  p.SetOpen(true);
  EXPECT_TRUE(p.Open());
  EXPECT_EQ(7, p.ComNumber());
}

TEST_F(ComPortTest, OpeningFailuresRaiseTheOpenErrorsAndLeaveNothingBehind) {
  const int fds = OpenFdCount();
  const int threads = ThreadCount();
  auto expectOpenError = [&](int code, const char* text) {
    try {
      port.SetOpen(true);
      ADD_FAILURE() << "opened";
    } catch (const EOpenComm& e) {
      EXPECT_EQ(code, e.ErrorCode());
      EXPECT_STREQ(text, e.what());
    }
    EXPECT_EQ(TPortState::Closed, port.PortState());
    EXPECT_EQ(nullptr, port.Dispatcher());
    EXPECT_EQ(threads, ThreadCountSettled(threads));
  };

  MapPort(7, "/dev/vemo-no-such-device");
  expectOpenError(ecBadId, "ie_BadId - Specified comport doesn't exist");
  MapPort(7, "/dev/null");  // exists, but is no serial device
  expectOpenError(ecBadId, "ie_BadId - Specified comport doesn't exist");
  {
    // A node with nothing behind it answers EIO (a pty that was never unlocked).
    int master = ::posix_openpt(O_RDWR | O_NOCTTY);
    ASSERT_EQ(0, ::grantpt(master));
    MapPort(7, ::ptsname(master));
    expectOpenError(ecBadId, "ie_BadId - Specified comport doesn't exist");
    ::close(master);
  }

  MapPort(7, peer.SlavePath());
  {
    // Another program holding the port with an advisory lock.
    int other = ::open(peer.SlavePath().c_str(), O_RDWR | O_NOCTTY);
    ASSERT_EQ(0, ::flock(other, LOCK_EX | LOCK_NB));
    expectOpenError(ecAlreadyOpen, "ie_Open - device already open");
    ::close(other);
  }
  {
    // ... or with TIOCEXCL alone (which root would get past).
    int other = ::open(peer.SlavePath().c_str(), O_RDWR | O_NOCTTY);
    ASSERT_EQ(0, ::ioctl(other, TIOCEXCL));
    expectOpenError(ecAlreadyOpen, "ie_Open - device already open");
    int excl = 0;
    ::ioctl(other, TIOCGEXCL, &excl);
    EXPECT_EQ(1, excl) << "the other program's exclusive flag was taken away";
    ::ioctl(other, TIOCNXCL);  // a pty keeps the flag while its master is open
    ::close(other);
  }
  EXPECT_EQ(fds, OpenFdCount());

  port.SetOpen(true);  // free again
  EXPECT_TRUE(port.Open());
}

TEST_F(ComPortTest, DeviceTheUserMayNotOpenExplainsHowToGetAccess) {
  if (::geteuid() != 0) GTEST_SKIP() << "needs root to play an unprivileged user";
  ::chmod(peer.SlavePath().c_str(), 0600);
  pid_t child = ::fork();
  if (child == 0) {
    int status = 1;
    if (::setgid(65534) == 0 && ::setuid(65534) == 0) {
      try {
        port.SetOpen(true);
        status = 2;
      } catch (const EPermissionDenied& e) {
        status = std::string(e.what()).find("dialout") != std::string::npos &&
                         e.ErrorCode() == ecPermissionDenied
                     ? 0
                     : 3;
      } catch (...) {
        status = 4;
      }
    } else {
      status = 5;
    }
    ::_exit(status);
  }
  int status = -1;
  ::waitpid(child, &status, 0);
  ASSERT_TRUE(WIFEXITED(status));
  if (WEXITSTATUS(status) == 5) GTEST_SKIP() << "cannot change user here";
  EXPECT_EQ(0, WEXITSTATUS(status));
}

TEST_F(ComPortTest, ClosingPutsBackTheLineSettingsFoundAtOpening) {
  int other = ::open(peer.SlavePath().c_str(), O_RDWR | O_NOCTTY);
  ASSERT_GE(other, 0);
  termios before;
  ::tcgetattr(other, &before);
  before.c_cflag |= HUPCL;  // what drops DTR and RTS when the port is let go
  before.c_lflag |= ICANON | ECHO;
  ::cfsetspeed(&before, B2400);
  ::tcsetattr(other, TCSANOW, &before);
  ::tcgetattr(other, &before);

  port.SetOpen(true);
  termios during;
  ::tcgetattr(other, &during);
  EXPECT_EQ(0u, during.c_lflag & (ICANON | ECHO)) << "the port works raw while open";
  port.SetOpen(false);

  termios after;
  ::tcgetattr(other, &after);
  ::close(other);
  EXPECT_EQ(before.c_cflag, after.c_cflag);
  EXPECT_EQ(before.c_iflag, after.c_iflag);
  EXPECT_EQ(before.c_oflag, after.c_oflag);
  EXPECT_EQ(before.c_lflag, after.c_lflag);
  EXPECT_EQ(::cfgetospeed(&before), ::cfgetospeed(&after));
}

TEST_F(ComPortTest, EveryByteValuePassesUnchangedBothWays) {
  CollectReceived();
  port.SetOpen(true);
  std::string all;
  for (int i = 0; i < 256; ++i) all += char(i);
  all += "\r\n\n\r";
  port.SendString(all);
  EXPECT_EQ(all, peer.Read(all.size()));
  peer.Write(all);
  EXPECT_TRUE(ProcessUntil([&] { return received.size() >= all.size(); }));
  EXPECT_EQ(all, received);
}

TEST_F(ComPortTest, HandlerThatReadsPartGetsTheRestAnnouncedAgain) {
  std::vector<uint16_t> counts;
  port.SetOnTriggerAvail([&](TCustomComPort& cp, uint16_t count) {
    counts.push_back(count);
    char c;
    cp.ReadBlock(&c, 1);
    received += c;
  });
  port.SetOpen(true);
  peer.Write("ABCDEF");
  EXPECT_TRUE(ProcessUntil([&] { return received.size() == 6; }));
  EXPECT_EQ("ABCDEF", received);
  ASSERT_FALSE(counts.empty());
  EXPECT_EQ(1, counts.back());
}

TEST_F(ComPortTest, HandlerThatReadsMoreThanAnnouncedGetsBufferIsEmpty) {
  int code = 0;
  port.SetOnTriggerAvail([&](TCustomComPort& cp, uint16_t count) {
    std::string block(count + 1, '\0');
    try {
      cp.ReadBlock(block.data(), uint16_t(count + 1));
    } catch (const EBufferIsEmpty& e) {
      code = e.ErrorCode();
    }
    cp.ReadBlock(block.data(), count);  // the failed read took nothing
    received += block.substr(0, count);
  });
  port.SetOpen(true);
  peer.Write("xyz");
  EXPECT_TRUE(ProcessUntil([&] { return received.size() == 3; }));
  EXPECT_EQ(ecBufferIsEmpty, code);
  EXPECT_EQ("xyz", received);
}

TEST_F(ComPortTest, BlockLargerThanTheFreeOutputRoomIsRefusedWhole) {
  port.SetOpen(true);
  try {
    port.SendString(std::string(4097, 'a'));
    ADD_FAILURE() << "accepted more than OutSize";
  } catch (const EOutputBufferTooSmall& e) {
    EXPECT_EQ(ecOutputBufferTooSmall, e.ErrorCode());
  }
  EXPECT_EQ("", peer.ReadAvailable(50ms));

  // The peer stops reading: the driver fills, then the output buffer.
  std::string accepted = FillOutput();
  ASSERT_GE(port.OutBuffUsed(), 1000) << "the driver never filled";
  const uint16_t used = port.OutBuffUsed();
  const uint16_t freeRoom = port.OutBuffFree();
  std::string tooBig(freeRoom + 1, '!');
  EXPECT_THROW(port.SendString(tooBig), EOutputBufferTooSmall);
  EXPECT_LE(port.OutBuffUsed(), used);  // nothing of the refused block was queued

  std::string got = peer.Read(accepted.size(), 5000ms);
  EXPECT_EQ(accepted.size(), got.size());
  EXPECT_TRUE(got == accepted) << "output arrived changed or out of order";
  EXPECT_EQ("", peer.ReadAvailable(100ms));
}

TEST_F(ComPortTest, EmptySendNeitherSendsNorOpens) {
  port.SendString("");
  EXPECT_FALSE(port.Open());
  port.SetOpen(true);
  port.SendString("");
  EXPECT_EQ("", peer.ReadAvailable(50ms));
}

TEST_F(ComPortTest, AutoOpenOpensForAnOperationElseNotOpenIsRaised) {
  port.SendChar('x');
  EXPECT_TRUE(port.Open());
  EXPECT_EQ("x", peer.Read(1));
  port.SetOpen(false);
  port.SetAutoOpen(false);
  try {
    port.SendString("y");
    ADD_FAILURE();
  } catch (const ECommNotOpen& e) {
    EXPECT_EQ(ecNotOpen, e.ErrorCode());
  }
  EXPECT_FALSE(port.Open());
}

TEST_F(ComPortTest, ChangingComNumberWhileOpenMovesToTheNewPortKeepingTriggersAndTrace) {
  PtyPeer second;
  MapPort(8, second.SlavePath());
  std::vector<uint16_t> hits;
  port.SetOnTriggerData([&](TCustomComPort&, uint16_t h) { hits.push_back(h); });
  port.SetTracing(tlOn);
  port.SetOpen(true);
  uint16_t handle = port.AddDataTrigger("OK", false);

  port.SetComNumber(8);
  EXPECT_TRUE(port.Open());
  EXPECT_EQ(8, port.ComNumber());
  EXPECT_EQ(tlOn, port.Tracing());
  second.Write("..OK");
  EXPECT_TRUE(ProcessUntil([&] { return !hits.empty(); }));
  EXPECT_EQ(std::vector<uint16_t>{handle}, hits);
  port.SendString("on eight");
  EXPECT_EQ("on eight", second.Read(8));

  MapPort(9, "/dev/vemo-no-such-device");
  EXPECT_THROW(port.SetComNumber(9), EBadId);
  EXPECT_EQ(TPortState::Closed, port.PortState());
  EXPECT_EQ(9, port.ComNumber());
}

TEST_F(ComPortTest, ChangingBaudWithUnsentOutputWaitsUntilItHasLeft) {
  port.SetOpen(true);
  std::string accepted = FillOutput();
  ASSERT_GT(port.OutBuffUsed(), 0);
  std::string got;
  std::thread reader([&] {
    std::this_thread::sleep_for(300ms);
    got = peer.Read(accepted.size(), 5000ms);
  });
  auto start = std::chrono::steady_clock::now();
  port.SetBaud(19200);
  auto waited = std::chrono::steady_clock::now() - start;
  EXPECT_EQ(0, port.OutBuffUsed());
  EXPECT_GE(waited, 250ms);
  reader.join();
  EXPECT_TRUE(got == accepted);
}

TEST_F(ComPortTest, OpeningAskedForWhileLoadingHappensWhenLoadedAndFailsToTheApplication) {
  CatchShownErrors();
  port.BeginLoading();
  port.SetOpen(true);
  EXPECT_FALSE(port.Open());
  port.Loaded();
  EXPECT_TRUE(port.Open());

  MapPort(9, "/dev/vemo-no-such-device");
  TComPort other;
  other.BeginLoading();
  other.SetComNumber(9);
  other.SetOpen(true);
  EXPECT_NO_THROW(other.Loaded());
  EXPECT_FALSE(other.Open());
  EXPECT_EQ(std::vector<std::string>{"ie_BadId - Specified comport doesn't exist"}, shown);
}

TEST_F(ComPortTest, ExceptionFromAHandlerGoesToTheApplicationAndDeliveryGoesOn) {
  CatchShownErrors();
  port.SetOnTriggerAvail([&](TCustomComPort& cp, uint16_t count) {
    std::string block(count, '\0');
    cp.ReadBlock(block.data(), count);
    received += block;
    if (received == "a") throw Exception("handler failed");
  });
  port.SetOpen(true);
  peer.Write("a");
  EXPECT_TRUE(ProcessUntil([&] { return !shown.empty(); }));
  peer.Write("b");
  EXPECT_TRUE(ProcessUntil([&] { return received == "ab"; }));
  EXPECT_EQ(std::vector<std::string>{"handler failed"}, shown);
}

TEST_F(ComPortTest, LogRecordsWritesReadsAndAnnouncements) {
  auto file = TempFile("serial.log");
  CollectReceived();
  port.SetLogName(file.string());
  port.SetLogging(tlOn);
  port.SetOpen(true);
  port.SendString("AT\r");
  ASSERT_EQ("AT\r", peer.Read(3));
  peer.Write("OK\r\n");
  ASSERT_TRUE(ProcessUntil([&] { return received.size() == 4; }));
  port.SetOpen(false);
  std::string log = ReadFile(file);
  for (const char* text : {"Device: COM7", "WriteCom", "ReadCom", "Avail", "Window"})
    EXPECT_NE(std::string::npos, log.find(text)) << text << " missing from\n" << log;
  EXPECT_EQ(tlOff, port.Logging());
  std::filesystem::remove(file);
}

class TraceFileTest : public ComPortTest, public ::testing::WithParamInterface<bool> {};

TEST_P(TraceFileTest, WorkedExampleTracesToTheExpectedFile) {
  const bool hex = GetParam();
  auto file = TempFile(hex ? "hex.trc" : "dec.trc");
  CollectReceived();
  port.SetTraceName(file.string());
  port.SetTraceHex(hex);
  port.SetTracing(tlOn);
  port.SetOpen(true);
  port.SendString("AT\r");
  ASSERT_EQ("AT\r", peer.Read(3));
  peer.Write("OK\r\n");
  ASSERT_TRUE(ProcessUntil([&] { return received.size() == 4; }));
  port.SetOpen(false);  // closing writes the trace
  std::string contents = ReadFile(file);
  EXPECT_EQ(hex ? "Transmit: \nAT[0D]\n\nReceive: \nOK[0D][0A]\n"
                : "Transmit: \nAT[13]\n\nReceive: \nOK[13][10]\n",
            contents);
  EXPECT_EQ(tlOff, port.Tracing());
  std::filesystem::remove(file);
}

INSTANTIATE_TEST_SUITE_P(HexAndDecimal, TraceFileTest, ::testing::Bool());

TEST_F(ComPortTest, ListenersHearEachOpeningAndClosing) {
  std::vector<bool> heard;
  int id =
      port.RegisterPortListener([&](TCustomComPort&, bool opening) { heard.push_back(opening); });
  port.SetOpen(true);
  port.SetOpen(false);
  port.DeregisterPortListener(id);
  port.SetOpen(true);
  EXPECT_EQ((std::vector<bool>{true, false}), heard);
}

TEST_F(ComPortTest, TimerDataAndStatusTriggersRaiseTheirEvents) {
  std::vector<std::pair<uint16_t, uint16_t>> general;  // (msg, handle)
  uint16_t timerFired = 0, dataFired = 0;
  int outSent = 0;
  port.SetOnTrigger(
      [&](TCustomComPort&, uint16_t msg, uint16_t h, uint16_t) { general.emplace_back(msg, h); });
  port.SetOnTriggerTimer([&](TCustomComPort&, uint16_t h) { timerFired = h; });
  port.SetOnTriggerData([&](TCustomComPort&, uint16_t h) { dataFired = h; });
  port.SetOnTriggerOutSent([&](TCustomComPort&) { ++outSent; });
  port.SetOpen(true);

  uint16_t timer = port.AddTimerTrigger();
  port.SetTimerTrigger(timer, 2, true);
  EXPECT_TRUE(ProcessUntil([&] { return timerFired == timer; }));

  uint16_t data = port.AddDataTrigger("end", true);
  peer.Write("the END");
  EXPECT_TRUE(ProcessUntil([&] { return dataFired == data; }));

  uint16_t sent = port.AddStatusTrigger(stOutSent);
  port.SetStatusTrigger(sent, 0, true);
  port.SendString("out");
  EXPECT_TRUE(ProcessUntil([&] { return outSent == 1; }));
  ProcessFor(150ms);
  EXPECT_EQ(1, outSent) << "status triggers fire once";

  EXPECT_NE(general.end(), std::find(general.begin(), general.end(),
                                     std::pair<uint16_t, uint16_t>{0x7E03, timer}));
  EXPECT_NE(general.end(),
            std::find(general.begin(), general.end(), std::pair<uint16_t, uint16_t>{0x7E02, data}));
  EXPECT_THROW(port.RemoveTrigger(0xFFF0), EBadTriggerHandle);
}

}  // namespace
}  // namespace vemo

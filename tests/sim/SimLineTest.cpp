// SPDX-License-Identifier: GPL-3.0-or-later
// The simulated monitor seen from the PC's end of a real pseudo-terminal: the program
// vemoswr-sim with its link, reconnects, timing faults, hang-ups and transcript.
#include <gtest/gtest.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QTemporaryDir>
#include <algorithm>
#include <thread>

#include "tests/sim/PtyClient.h"
#include "tests/support/SimProcess.h"

namespace vemo::test {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

const std::string kIdentification = "KRFMON0306/01/10 SIMULATED MONITOR   \r\n>";
const std::string kReading = "50.00 1.000 0\r\n>";

bool Exists(const std::string& path) {
  struct stat st {};
  return ::lstat(path.c_str(), &st) == 0;
}

TEST(SimLineTest, ServesThroughItsLinkAndRemovesItOnTermination) {
  QTemporaryDir dir;
  const std::string link = dir.filePath("sim-port").toStdString();
  SimProcess sim;
  const std::string device = sim.Start({"--noise", "0", "--link", link});
  char target[256] = {};
  ASSERT_GT(::readlink(link.c_str(), target, sizeof target - 1), 0);
  EXPECT_EQ(device, target);

  PtyClient line(link);
  EXPECT_EQ(line.Ask("I", 40), kIdentification);
  EXPECT_EQ(line.Ask("T", 16), kReading);
  EXPECT_EQ(sim.Stop(), 0);
  EXPECT_FALSE(Exists(link));
}

TEST(SimLineTest, KeepsServingWhenTheClientClosesAndReopensTheDevice) {
  SimProcess sim;
  const std::string device = sim.Start({"--noise", "0", "--delay-ms", "200"});
  {
    PtyClient first(device);
    first.Send("I");
    first.Send("T");
    // Closed before the replies are due: they must not reach the next client.
  }
  // A loaded machine may take a while to notice the close; wait for it rather than guess.
  ASSERT_TRUE(sim.WaitForTranscript([](const auto& t) {
    return std::any_of(t.begin(), t.end(), [](const auto& e) { return e.text == "client closed"; });
  }));
  PtyClient second(device);
  EXPECT_EQ(second.Read(1, 400ms), "") << "a stale reply leaked into the new session";
  EXPECT_EQ(second.Ask("A", 1), "A");
  second.Close();
  PtyClient third(device);
  EXPECT_EQ(third.Ask("T", 16), kReading);
}

TEST(SimLineTest, ClientThatDiesHoldingTheLineExclusivelyLeavesItFreeForTheNext) {
  SimProcess sim;
  const std::string device = sim.Start({"--noise", "0"});
  {
    PtyClient first(device);
    ASSERT_EQ(::ioctl(first.Fd(), TIOCEXCL), 0);
    // Closed without releasing the claim, as the kernel closes for a killed client.
  }
  ASSERT_TRUE(sim.WaitForTranscript(
      [](const auto& t) { return !t.empty() && t.back().text == "client closed"; }));
  // Without privileges a claim left behind refuses the open (EBUSY); ask the flag itself.
  PtyClient second(device);
  int exclusive = -1;
  ASSERT_EQ(::ioctl(second.Fd(), TIOCGEXCL, &exclusive), 0);
  EXPECT_EQ(exclusive, 0);
  EXPECT_EQ(second.Ask("T", 16), kReading);
}

TEST(SimLineTest, PowerCycleLoadsWhatWasWrittenToTheEeprom) {
  SimProcess sim;
  PtyClient line(sim.Start({"--noise", "0", "--forward-counts", "2000"}));
  sim.SetForward(10);
  sim.SetReflected(0.1);
  EXPECT_EQ(line.Ask("Z", 1), "Z");
  EXPECT_EQ(line.Ask("T", 16), " 1000   262R0\r\n>") << "2000 counts at 20 W";
  EXPECT_EQ(line.Ask("Z", 1), "Z");
  EXPECT_EQ(line.Ask(std::string("Y\x03\x0F\xA0", 4), 2), "\x0F\xA0");  // factor 4000
  EXPECT_EQ(line.Ask("T", 16), "10.00 0.100 0\r\n>");
  sim.PowerCycle();
  EXPECT_EQ(line.Ask("T", 16), "5.000 0.100 0\r\n>");
  const auto transcript = sim.Transcript();
  EXPECT_TRUE(std::any_of(transcript.begin(), transcript.end(),
                          [](const TranscriptEntry& e) { return e.text == "power cycle"; }));
}

TEST(SimLineTest, TimingFaultsDelaySilenceOrPaceTheReplies) {
  {
    SimProcess sim;
    PtyClient line(sim.Start({"--silent"}));
    EXPECT_EQ(line.Ask("I", 1, 300ms), "");
    ASSERT_TRUE(sim.WaitForTranscript([](const auto& t) { return !t.empty(); }));
    EXPECT_EQ(sim.Transcript()[0].note, "unanswered");
  }
  {
    SimProcess sim;
    PtyClient line(sim.Start({"--noise", "0", "--stop-after", "2"}));
    EXPECT_EQ(line.Ask("A", 1), "A");
    EXPECT_EQ(line.Ask("T", 16), kReading);
    EXPECT_EQ(line.Ask("A", 1, 300ms), "");
  }
  {
    SimProcess sim;
    PtyClient line(sim.Start({"--delay-ms", "300"}));
    line.Send("I");
    EXPECT_EQ(line.Read(40, 200ms), "");
    EXPECT_EQ(line.Read(40, 400ms), kIdentification);
  }
  {
    SimProcess sim;
    PtyClient line(sim.Start({"--noise", "0", "--pace"}));
    const auto start = Clock::now();
    line.Send("I");
    EXPECT_EQ(line.Read(40), kIdentification);
    // 40 bytes at 9600 baud: 39 byte times pass between the first and the last.
    EXPECT_GE(Clock::now() - start, 39 * 1041667ns);
  }
}

TEST(SimLineTest, HangingUpDropsTheLineAndTheDevice) {
  QTemporaryDir dir;
  const std::string link = dir.filePath("sim-port").toStdString();
  {
    SimProcess sim;
    PtyClient line(sim.Start({"--hangup-after", "1", "--link", link}));
    EXPECT_EQ(line.Ask("I", 40), kIdentification) << "the last command is still answered";
    line.Read(1, 300ms);
    EXPECT_TRUE(line.HungUp());
    EXPECT_FALSE(Exists(link));
    EXPECT_TRUE(sim.Running()) << "the simulator waits to be stopped";
    ASSERT_TRUE(sim.WaitForTranscript([](const auto& t) { return t.back().text == "hangup"; }));
    EXPECT_EQ(sim.Stop(), 0);
  }
  {
    SimProcess sim;
    PtyClient line(sim.Start({"--link", link}));
    sim.HangUp();
    line.Read(1, 300ms);
    EXPECT_TRUE(line.HungUp());
    EXPECT_FALSE(Exists(link));
  }
  {
    SimProcess sim;
    PtyClient line(sim.Start());
    sim.Kill();
    line.Read(1, 300ms);
    EXPECT_TRUE(line.HungUp());
  }
}

TEST(SimLineTest, UnpluggedMonitorIsPluggedInAgainBehindTheSameLink) {
  QTemporaryDir dir;
  const std::string link = dir.filePath("sim-port").toStdString();
  SimProcess sim;
  PtyClient first(sim.Start({"--link", link}));
  sim.HangUp();
  first.Read(1, 300ms);
  EXPECT_TRUE(first.HungUp());
  EXPECT_FALSE(Exists(link));
  sim.Plug();
  ASSERT_TRUE(Exists(link));
  PtyClient second(link);
  EXPECT_EQ(second.Ask("I", 40), kIdentification);
}

TEST(SimLineTest, LineNoiseGarblesRepliesAndBurstsComeUnasked) {
  struct Row {
    std::vector<std::string> args;
    bool (*fits)(const std::string& reply);
  };
  const Row rows[] = {
      {{"--truncate-chance", "1"}, [](const std::string& r) { return r.size() < 40; }},
      {{"--overlong-chance", "1"},
       [](const std::string& r) { return r.size() > 40 && r.substr(0, 40) == kIdentification; }},
      {{"--burst-chance", "1"},
       [](const std::string& r) { return r.size() > 40 && r.ends_with(kIdentification); }},
  };
  for (const Row& row : rows) {
    SimProcess sim;
    PtyClient line(sim.Start(row.args));
    line.Send("I");
    const std::string reply = line.Read(200, 300ms);
    EXPECT_TRUE(row.fits(reply)) << row.args[0] << ": " << reply.size() << " bytes";
  }
  SimProcess sim;
  PtyClient line(sim.Start({"--jitter-ms", "400", "--seed", "3"}));
  sim.Burst(100);
  EXPECT_EQ(line.Read(200, 300ms).size(), 100u);
  // Random delays up to 400 ms: some replies come later than others, all come.
  std::vector<Clock::duration> waits;
  for (int i = 0; i < 6; ++i) {
    const auto start = Clock::now();
    ASSERT_EQ(line.Ask("A", 1), "A");
    waits.push_back(Clock::now() - start);
  }
  EXPECT_GT(
      *std::max_element(waits.begin(), waits.end()) - *std::min_element(waits.begin(), waits.end()),
      50ms);
}

TEST(SimLineTest, TranscriptHoldsEachCommandOnceAndEveryReply) {
  SimProcess sim;
  PtyClient line(sim.Start({"--noise", "0", "--model", "KRFMON01"}));
  for (char byte : std::string("M 2621")) {  // unsupported on this model, still one command
    line.Send(std::string(1, byte));
    std::this_thread::sleep_for(5ms);
  }
  line.Send("\r");
  for (char byte : std::string("X\x03\x01", 3)) {
    line.Send(std::string(1, byte));
    std::this_thread::sleep_for(5ms);
  }
  EXPECT_EQ(line.Read(2), "\x14\x7B");
  ASSERT_TRUE(sim.WaitForTranscript([](const auto& t) { return t.size() >= 4; }));

  const auto transcript = sim.Transcript();
  ASSERT_EQ(transcript.size(), 4u);
  EXPECT_EQ(transcript[0].dir, "rx");
  EXPECT_EQ(transcript[0].cmd, "M");
  EXPECT_EQ(transcript[0].text, "M 2621");
  EXPECT_EQ(transcript[0].hex, "4d2032363231");
  EXPECT_EQ(transcript[0].note, "unsupported");
  EXPECT_EQ(transcript[1].text, "\r");
  EXPECT_EQ(transcript[1].note, "unknown");
  EXPECT_EQ(transcript[2].text, std::string("X\x03\x01", 3));
  EXPECT_EQ(transcript[3].dir, "tx");
  EXPECT_EQ(transcript[3].cmd, "X");
  EXPECT_EQ(transcript[3].text, "\x14\x7B");
  EXPECT_LE(transcript[2].tMs, transcript[3].tMs);
  EXPECT_EQ(sim.ReceivedCommands(),
            (std::vector<std::string>{"M 2621", std::string("X\x03\x01", 3)}));
}

TEST(SimLineTest, PowerAppliedAtTheMonitorShowsInTheNextReading) {
  SimProcess sim;
  PtyClient line(sim.Start({"--noise", "0"}));
  sim.SetForward(10);
  sim.SetReflected(0.5);
  EXPECT_EQ(line.Ask("T", 16), "10.00 0.500 0\r\n>");
  sim.SetFullScale(5000);
  EXPECT_EQ(line.Ask("T", 16), "0.010 0.001 0\r\n>");
  EXPECT_THROW(sim.SetFullScale(0), std::runtime_error);
}

TEST(SimLineTest, ContentFaultOptionsReachTheMonitor) {
  SimProcess sim;
  PtyClient line(sim.Start({"--stray-prompt", "--garbage-numbers", "--bad-eeprom-echo",
                            "--stray-prefix", "xy", "--calibration-error"}));
  EXPECT_EQ(line.Ask("T", 17), ">----- ----- 0\r\n>");
  EXPECT_EQ(line.Ask("L", 12), "xyH=-----\r\n>");
  EXPECT_EQ(line.Ask(std::string("Y\x03\x00\x01", 4), 2), "\xFF\xFE");
  EXPECT_EQ(line.Ask("1", 4), "PF?>");
  EXPECT_EQ(line.Ask("Y", 8), "E \r\nPF?>");

  SimProcess noPrompt;
  PtyClient other(noPrompt.Start({"--no-prompt-calibration"}));
  EXPECT_EQ(other.Ask("0", 4), "?\r\n>");
}

}  // namespace
}  // namespace vemo::test

// SPDX-License-Identifier: GPL-3.0-or-later
// The polling controller against the simulated monitor, without a window, on a fast reply
// clock: the failure rule of continuous reading and the return of a lost device.
#include "station/PollingController.h"

#include "tests/support/SimProcess.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>

namespace vemo::test {
namespace {

// Reply time limits of seconds pass in tens of milliseconds.
class FastClock : public Clock {
 public:
  WallTime Now() const override {
    return start_ + (std::chrono::system_clock::now() - start_) * 50;
  }

 private:
  WallTime start_ = std::chrono::system_clock::now();
};

struct RecordingView : PollingView {
  void ShowReading(const TMonitorReading&) override { ++readings; }
  void ShowStale() override {}
  void RecordGap() override { ++gaps; }
  void ShowFailure(const std::string& text) override { failures.push_back(text); }
  void ShowLineActive(bool) override {}
  void ShowContinuous(bool) override {}
  void ShowConnection() override {}
  void RunDeviceWatch(bool run) override { watching = run; }
  void ShowRetry(const std::string& cause, qint64 waitMs) override {
    retries.push_back({cause, waitMs});
  }
  void ShowRetrySucceeded() override {}
  void RunRetryTimer(qint64) override {}
  std::vector<std::pair<std::string, qint64>> retries;
  int readings = 0;
  int gaps = 0;
  bool watching = false;
  std::vector<std::string> failures;
};

struct Polled {
  explicit Polled(const std::string& device) : link({std::chrono::milliseconds(10), &clock}) {
    link.SetDevice(0, device);
  }
  FastClock clock;
  MonitorLink link;
  RecordingView view;
  PollingController polling{link, view};
};

TEST(PollingController, SilentFailuresPassThreeTimesAndTheFourthStopsWithItsMessage) {
  SimProcess sim;
  // Identification and two readings ("7", "T" each), then silence.
  Polled p(sim.Start({"--noise", "0", "--stop-after", "5"}));
  p.polling.StartContinuous();
  for (int tick = 1; tick <= 8 && p.polling.Continuous(); ++tick) {
    p.polling.Tick();
    if (tick <= 5) {
      EXPECT_TRUE(p.view.failures.empty()) << "tick " << tick;
    }
  }
  EXPECT_FALSE(p.polling.Continuous());
  // The monitor's words, then the port and what to check.
  ASSERT_EQ(p.view.failures.size(), 1u);
  EXPECT_EQ(p.view.failures[0].rfind("Timeout\n", 0), 0u) << p.view.failures[0];
  EXPECT_NE(p.view.failures[0].find("No answer from the monitor on "), std::string::npos);
  EXPECT_EQ(p.view.readings, 2);
  EXPECT_EQ(p.view.gaps, 4);
}

TEST(PollingController, ALostDeviceIsWatchedForAndReadingResumesOnceItIsBack) {
  QTemporaryDir dir;
  const std::string link = dir.filePath("monitor").toStdString();
  SimProcess sim;
  sim.Start({"--noise", "0", "--link", link});
  Polled p(link);
  p.polling.StartContinuous();
  p.polling.Tick();
  sim.HangUp();
  p.polling.Tick();
  EXPECT_TRUE(p.view.failures.empty()) << p.view.failures.front();
  EXPECT_TRUE(p.polling.WaitingForDevice());
  EXPECT_EQ(p.polling.ConnectionNote(), "device lost");
  sim.Plug();
  QElapsedTimer waited;
  waited.start();
  while (p.view.watching && waited.elapsed() < 10'000) p.polling.DeviceWatchTick();
  p.polling.Tick();  // reconnects
  EXPECT_EQ(p.polling.ConnectionNote(), "reconnected");
  ASSERT_TRUE(p.polling.Continuous());
  const int before = p.view.readings;
  p.polling.Tick();
  EXPECT_EQ(p.view.readings, before + 1);
}

TEST(PollingController, UnattendedAMonitorOutOfReachIsTriedAgainWithABackOffUntilItAnswers) {
  QTemporaryDir dir;
  const std::string link = dir.filePath("monitor").toStdString();
  Polled p(link);
  p.polling.SetUnattended(true);
  p.polling.StartContinuous();  // no monitor yet: no failure raised
  p.polling.RetryTimeout();
  p.polling.Tick();
  ASSERT_EQ(p.view.retries.size(), 2u);
  EXPECT_NE(p.view.retries[0].first.find("Cannot open " + link + ": the device does not exist"),
            std::string::npos)
      << p.view.retries[0].first;
  EXPECT_EQ(p.view.retries[0].second, 1000);
  EXPECT_EQ(p.view.retries[1].second, 2000);
  EXPECT_TRUE(p.view.failures.empty());
  EXPECT_TRUE(p.polling.Retrying());
  SimProcess sim;
  sim.Start({"--noise", "0", "--link", link});
  p.polling.RetryTimeout();
  p.polling.Tick();
  ASSERT_TRUE(p.polling.Continuous());
  EXPECT_FALSE(p.polling.Retrying());
  p.polling.Tick();
  EXPECT_EQ(p.view.readings, 1);
}

}  // namespace
}  // namespace vemo::test

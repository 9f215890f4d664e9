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
  EXPECT_EQ(p.view.failures, std::vector<std::string>{"Timeout"});
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

}  // namespace
}  // namespace vemo::test

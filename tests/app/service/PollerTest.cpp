// SPDX-License-Identifier: GPL-3.0-or-later
// Pollers of the service side by side on one thread, against simulated monitors on ptys,
// with reply limits on a fast clock.
#include "app/service/MonitorPoller.h"
#include "tests/support/FastClock.h"
#include "tests/support/SimProcess.h"
#include "tests/support/WaitUntil.h"

#include <gtest/gtest.h>

#include <QDateTime>
#include <QTemporaryDir>

#include <algorithm>

namespace vemo::service {
namespace {

MonitorConfig Monitor(const char* name, const std::string& device) {
  MonitorConfig config;
  config.Name = name;
  config.Device = QString::fromStdString(device);
  config.DevicePath = device;
  config.IntervalMs = 100;
  return config;
}

// The silent monitor's identification waits out its limit of 4 s (1 s here) while the
// monitor beside it keeps its rate; a wait nested in the other's would stall it that long.
TEST(MonitorPoller, ASilentMonitorHoldsUpNoneOfTheOthers) {
  QTemporaryDir locks;
  qputenv("VEMOSWR_LOCK_DIR", locks.path().toUtf8());
  test::SimProcess good, silent;
  const test::FastClock clock(4);
  const LinkTiming timing{std::chrono::milliseconds(20), &clock};
  MonitorPoller goodPoller(Monitor("good", good.Start({"--noise", "0"})), timing);
  MonitorPoller silentPoller(Monitor("silent", silent.Start({"--silent"})), timing);
  goodPoller.Start();
  silentPoller.Start();

  qint64 lastAnswer = 0;
  qint64 longestGap = 0;
  const auto silentTimedOut = [&] {
    return silentPoller.Snapshot()->Errors[static_cast<size_t>(ErrorKind::Timeout)] > 0;
  };
  ASSERT_TRUE(test::SpinUntil(
      [&] {
        const qint64 answered = goodPoller.Snapshot()->AnsweredMs;
        if (answered != lastAnswer) {
          if (lastAnswer > 0) longestGap = std::max(longestGap, answered - lastAnswer);
          lastAnswer = answered;
        }
        return silentTimedOut() && QDateTime::currentMSecsSinceEpoch() - lastAnswer < 100;
      },
      5000));
  EXPECT_LT(longestGap, 500) << "the good monitor waited for the silent one";
  EXPECT_GE(goodPoller.Snapshot()->ReadingsTotal, 6u);
  EXPECT_EQ(silentPoller.Snapshot()->Phase, MonitorPhase::Waiting);
  EXPECT_EQ(silentPoller.Snapshot()->LastError.rfind("No answer from the monitor", 0), 0u)
      << silentPoller.Snapshot()->LastError;
  goodPoller.Stop();
  silentPoller.Stop();
  EXPECT_TRUE(goodPoller.Stopped() && silentPoller.Stopped());
  qunsetenv("VEMOSWR_LOCK_DIR");
}

}  // namespace
}  // namespace vemo::service

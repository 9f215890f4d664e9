// SPDX-License-Identifier: GPL-3.0-or-later
// The session through the real serial layer against the simulated monitor: every model,
// the firmware-date boundaries of the settings commands, and the monitor's faults.
#include "SimLink.h"

#include "monitor/DateTime.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <QElapsedTimer>

#include <algorithm>
#include <deque>

namespace vemo::test {
namespace {

using ::testing::Contains;
using ::testing::Not;

std::string MessageOf(const std::function<void()>& f) {
  try {
    f();
  } catch (const std::exception& e) {
    return e.what();
  }
  return "(no exception)";
}

std::vector<std::string> Args(std::initializer_list<std::string> extra) {
  std::vector<std::string> args{"--noise", "0"};
  args.insert(args.end(), extra);
  return args;
}

TEST(SessionOverSerial, IdentifiesEveryModel) {
  struct Row {
    const char* model;
    const char* firmware;
    bool accepted;
  };
  const Row rows[] = {{"KRFMON01", "1999-04-01", true}, {"KRFMON02", "2001-02-03", true},
                      {"KRFMON03", "2004-03-29", true}, {"KRFMON04", "2010-01-08", true},
                      {"VPMon002", "2000-07-24", true}, {"TQAMO001", "2080-12-31", true},
                      {"ACME0001", "1981-01-01", false}};
  for (const Row& r : rows) {
    SimLink link(Args({"--model", r.model, "--firmware", r.firmware}));
    EXPECT_EQ(link.monitor.Identify(), r.accepted) << r.model;
    EXPECT_EQ(link.monitor.ModelId(), r.model);
    EXPECT_EQ(DateToIso(link.monitor.FirmwareDate()), r.firmware);
  }
}

TEST(SessionOverSerial, ReadingsInEveryRangeAndBothFullScaleReplies) {
  struct Row {
    const char* model;
    const char* fullScale;
    const char* forward;
    const char* reflected;
    double fullScaleWatts, forwardWatts, reflectedWatts;
  };
  const Row rows[] = {
      {"KRFMON01", "625", "100", "12.5", 625, 100, 12.5},
      {"KRFMON03", "125", "50", "1", 125, 50, 1},
      {"KRFMON04", "5000", "2500", "40", 5000, 2500, 40},
      {"VPMon002", "0.5", "0.1", "0.0125", 0.5, 0.1, 0.0125},
  };
  for (const Row& r : rows) {
    SimLink link(Args({"--model", r.model, "--full-scale", r.fullScale, "--forward", r.forward,
                       "--reflected", r.reflected}));
    link.monitor.Identify();
    TMonitorReading reading;
    link.monitor.GetReading(reading);
    EXPECT_DOUBLE_EQ(link.monitor.FullScale(), r.fullScaleWatts) << r.model;
    EXPECT_NEAR(reading.Forward, r.forwardWatts, r.forwardWatts * 0.01) << r.model;
    EXPECT_NEAR(reading.Reflected, r.reflectedWatts, r.reflectedWatts * 0.02) << r.model;
    EXPECT_FALSE(reading.RawMode);
  }
}

TEST(SessionOverSerial, FirmwareDateBoundariesDecideWhatIsSent) {
  struct Row {
    const char* model;
    const char* firmware;
    const char* command;  // the command whose presence the date decides
    bool sent;
  };
  const Row rows[] = {
      {"VPMon002", "2000-07-24", "B", false},  {"VPMon002", "2000-07-25", "B", true},
      {"VPMon002", "2002-05-13", "D", false},  {"VPMon002", "2002-05-14", "D", true},
      {"VPMon002", "2003-10-19", "O0", false}, {"VPMon002", "2003-10-20", "O0", true},
      {"KRFMON03", "2003-11-19", "U0", false}, {"KRFMON03", "2003-11-20", "U0", true},
      {"KRFMON04", "2004-03-29", "U0", false}, {"KRFMON04", "2004-03-30", "U0", true},
      {"KRFMON01", "2010-01-07", "#", false},  {"KRFMON01", "2010-01-08", "#", true},
  };
  for (const Row& r : rows) {
    SimLink link(Args({"--model", r.model, "--firmware", r.firmware}));
    TVSWR_Monitor& m = link.monitor;
    ASSERT_TRUE(m.Identify());
    m.ReadRelaySense();
    m.ReadLowPowerAlarm();
    m.WriteLatchAlarm(true);
    m.WriteAlarmAtPowerUp(true);
    m.ReadPushToTalk();
    const std::vector<std::string> received = link.sim.ReceivedCommands();
    if (r.sent)
      EXPECT_THAT(received, Contains(r.command)) << r.model << " " << r.firmware;
    else
      EXPECT_THAT(received, Not(Contains(r.command))) << r.model << " " << r.firmware;
  }
}

TEST(SessionOverSerial, MonitorFaultsAreReportedOrRealigned) {
  {
    SimLink link(Args({"--silent"}));
    QElapsedTimer elapsed;
    elapsed.start();
    EXPECT_EQ(MessageOf([&] { link.monitor.Identify(); }), "Timeout");
    EXPECT_GE(elapsed.elapsed(), 4000);
    EXPECT_LT(elapsed.elapsed(), 5500);
    EXPECT_EQ(link.monitor.ModelId(), "");
  }
  {
    SimLink link(Args({"--model", "KRFMON04", "--stray-prefix", "xy", "--stray-prompt"}));
    link.monitor.Identify();
    TMonitorReading reading;
    link.monitor.GetReading(reading);
    EXPECT_NEAR(reading.Forward, 50, 0.5);
    link.monitor.WriteHiPowerAlarm({50, true});
    EXPECT_EQ(link.monitor.ReadHiPowerAlarm().Level, 50);
    EXPECT_EQ(link.monitor.WriteDACGains(0x0102), 0x0102);
  }
  {
    SimLink link(Args({"--bad-eeprom-echo"}));
    link.monitor.Identify();
    EXPECT_EQ(MessageOf([&] { link.monitor.WriteEeprom(0, 100); }), "Error writing to EEPROM");
  }
  {
    SimLink link(Args({"--garbage-numbers"}));
    link.monitor.Identify();
    TMonitorReading reading;
    EXPECT_EQ(MessageOf([&] { link.monitor.GetReading(reading); }), "Error in GetReading");
  }
}

TEST(SessionOverSerial, UnpluggedMonitorFailsTheNextExchangeQuickly) {
  SimLink link(Args({}));
  link.monitor.Identify();
  link.sim.HangUp();
  QElapsedTimer elapsed;
  elapsed.start();
  TMonitorReading reading;
  bool failed = false;
  // The loss shows either as a failure of the port or as the monitor's silence.
  for (int i = 0; i < 3 && !failed; ++i) {
    try {
      link.monitor.GetReading(reading);
    } catch (const std::exception&) {
      failed = true;
    }
  }
  EXPECT_TRUE(failed);
  EXPECT_LT(elapsed.elapsed(), 4000);
}

class ScriptedOperator : public IOperatorPrompt {
 public:
  explicit ScriptedOperator(std::deque<bool> answers) : answers_(std::move(answers)) {}
  bool AskOkCancel(const std::string& text) override {
    shown.push_back(text);
    const bool ok = !answers_.empty() && answers_.front();
    if (!answers_.empty()) answers_.pop_front();
    return ok;
  }
  std::vector<std::string> shown;

 private:
  std::deque<bool> answers_;
};

TEST(SessionOverSerial, CalibrationDialogues) {
  {
    SimLink link(Args({"--calibration-error"}));
    link.monitor.Identify();
    ScriptedOperator op({true, true, false});
    link.monitor.DoCalibration(0, op);
    ASSERT_EQ(op.shown.size(), 3u);
    EXPECT_EQ(op.shown[1].rfind("The SWR monitor returned an error while attempting\r", 0), 0u);
  }
  {
    SimLink link(Args({"--no-prompt-calibration"}));
    link.monitor.Identify();
    ScriptedOperator op({true});
    link.monitor.DoCalibration(2, op);
    EXPECT_TRUE(op.shown.empty());
  }
}

}  // namespace
}  // namespace vemo::test

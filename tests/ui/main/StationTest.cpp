// SPDX-License-Identifier: GPL-3.0-or-later
// Peak hold, the reading log and the polling interval of the main window, against the
// simulated monitor through the real serial layer.
#include <QAction>
#include <QActionGroup>
#include <QDir>
#include <QFile>
#include <QFrame>
#include <QLineEdit>
#include <QStatusBar>
#include <QTimer>

#include <limits>

#include "platform/Clock.h"
#include "platform/ProfileFile.h"
#include "station/ReadingCsv.h"
#include "store/Report.h"
#include "tests/support/ReadingReplies.h"
#include "tests/ui/main/MainWindowFixture.h"
#include "ui/meter/DCDial.h"

namespace vemo::test {
namespace {

class TestClock : public Clock {
 public:
  WallTime Now() const override { return now; }
  void Advance(int ms) { now += std::chrono::milliseconds(ms); }
  WallTime now = WallTime(std::chrono::milliseconds(1'760'000'000'000));
};

using StationTest = MainWindowTest;

QStringList Lines(const QString& path) {
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly)) return {};
  return QString::fromUtf8(file.readAll()).split('\n', Qt::SkipEmptyParts);
}

QAction* ActionWithData(QActionGroup* group, qint64 value) {
  for (QAction* action : group->actions())
    if (action->data().toLongLong() == value) return action;
  return nullptr;
}

TEST_F(StationTest, PeakHoldShowsPepAndTheDialsPeakMarkerWhichHoldsThenDecays) {
  StartSim();
  AddSettings("[Meter]\nVisible=1\nRange=3\n");  // 300 W
  TFormMain& f = Open();
  TestClock clock;
  f.SetClock(clock);
  const QSize designed = f.size();
  sim.SetForward(100);
  TriggerAndWait();
  EXPECT_TRUE(f.Panel_Peak->isHidden());
  EXPECT_EQ(f.dcMeter->PeakPosition(), TDCDial::kNoPeak);

  f.mnuViewPeakHold->trigger();
  ASSERT_TRUE(f.PeakHoldShown());
  EXPECT_FALSE(f.Panel_Peak->isHidden());
  EXPECT_EQ(f.ClientWidth(), TFormMain::PanelDisplayWidth + 4 + TFormMain::PeakPanelWidth + 2);
  EXPECT_EQ(f.Edit_PEP->text(), f.Edit_Forward_Power->text());  // 100 W
  EXPECT_EQ(f.dcMeter->PeakPosition(), 100);

  sim.SetForward(20);
  clock.Advance(100);
  TriggerAndWait();
  EXPECT_EQ(f.dcMeter->PeakPosition(), 100) << "held for 3 s";
  struct Step {
    int advanceMs;
    int peak;
  };
  // Held until 3 s after the peak, then falling at 100 W a second, down to the reading.
  for (const Step step : {Step{2800, 100}, Step{600, 50}, Step{400, 20}, Step{5000, 20}}) {
    clock.Advance(step.advanceMs);
    f.tmrPeakTimer();
    EXPECT_EQ(f.dcMeter->PeakPosition(), step.peak);
  }
  EXPECT_EQ(f.Edit_PEP->text().trimmed(), "20.0");
  EXPECT_TRUE(f.tmrPeak->isActive()) << "the decay shows between readings too";

  ActionWithData(f.mnuViewPeakHoldTime, PeakHold::kInfinite)->trigger();
  f.mnuViewPeakHold->trigger();
  EXPECT_TRUE(f.Panel_Peak->isHidden());
  EXPECT_EQ(f.dcMeter->PeakPosition(), TDCDial::kNoPeak);
  EXPECT_EQ(f.size(), designed);
  CloseWindow();
  const ProfileFile ini(iniPath);
  EXPECT_FALSE(ini.ReadBool("Station", "PeakHold", true));
  EXPECT_EQ(ini.ReadInteger("Station", "PeakHoldTime", 0), PeakHold::kInfinite);
}

TEST_F(StationTest, PollingIntervalIsChosenFromTheMenuKeptAndKeptAfterCalibration) {
  StartSim();
  AddSettings("[Station]\nPollingInterval=300\n");  // not offered: the default
  TFormMain& f = Open();
  EXPECT_EQ(f.Timer1->interval(), 500);
  for (const int ms : kPollingIntervalsMs) {
    ActionWithData(f.mnuViewInterval, ms)->trigger();
    EXPECT_EQ(f.Timer1->interval(), ms);
    EXPECT_TRUE(ActionWithData(f.mnuViewInterval, ms)->isChecked());
  }
  // A calibration step slows polling to 750 ms only from the customary 500 ms.
  struct Row {
    int chosen;
    int after;
  };
  for (const Row row : {Row{200, 200}, Row{500, 750}}) {
    ActionWithData(f.mnuViewInterval, row.chosen)->trigger();
    f.mnuCommands_R->trigger();
    ASSERT_TRUE(WaitUntil([&] { return f.Continuous(); }));
    const size_t steps = CountCommand("0");
    f.mnuCalZero->trigger();
    ASSERT_TRUE(
        WaitUntil([&] { return CountCommand("0") > steps && f.Continuous() && !f.TickRunning(); }));
    if (row.chosen < kDefaultPollingIntervalMs)  // counted from the start of the tick
      EXPECT_LE(f.Timer1->interval(), row.after) << row.chosen;
    else
      EXPECT_EQ(f.Timer1->interval(), row.after) << row.chosen;
    f.mnuCommands_T->trigger();  // stops polling
  }
  ActionWithData(f.mnuViewInterval, 2000)->trigger();
  CloseWindow();
  EXPECT_EQ(ProfileFile(iniPath).ReadInteger("Station", "PollingInterval", 0), 2000);
}

TEST_F(StationTest, ImplausibleReadingsAreGreyedCountedAndKeptOutOfTheHistory) {
  const std::string device =
      sim.Start({"--noise", "0", "--full-scale", std::to_string(kReadingRepliesFullScale)});
  AddSettings("[Ports]\nCOM1=" + device + "\n[Communication]\nComPort=1\n");
  TFormMain& f = Open();
  // Connected, but nothing measured yet: the zeros are not shown as a reading.
  EXPECT_EQ(f.ReadoutsLook(), TFormMain::ReadoutLook::NoReading);
  qint64 implausible = 0;
  int needle = 0;
  for (const ReadingReply& row : ReadingReplies()) {
    sim.SetReadingReply(row.reply);
    const size_t kept = f.History().Entries(0, std::numeric_limits<qint64>::max()).size();
    f.mnuCommands_T->trigger();
    ASSERT_TRUE(WaitUntil([&] { return f.CmdList()->Count() == 0 && !f.TickRunning(); }));
    implausible += row.plausible ? 0 : 1;
    EXPECT_EQ(f.ReadoutsLook(),
              row.plausible ? TFormMain::ReadoutLook::Reading : TFormMain::ReadoutLook::Implausible)
        << row.what;
    EXPECT_EQ(f.ImplausibleCount(), implausible) << row.what;
    if (row.plausible) needle = f.dcMeter->Position();
    EXPECT_EQ(f.dcMeter->Position(), needle) << row.what;
    const std::vector<THistoryEntry> entries =
        f.History().Entries(0, std::numeric_limits<qint64>::max());
    ASSERT_EQ(entries.size(), kept + 1) << row.what;
    EXPECT_EQ(entries.back().Gap, !row.plausible) << row.what;
    EXPECT_EQ(f.StatusText().contains("Implausible reading:"), !row.plausible)
        << row.what << ": " << f.StatusText().toStdString();
  }
  // A sane reading clears the mark; the count stays in sight.
  sim.SetReadingReply("");
  TriggerAndWait();
  EXPECT_EQ(f.ReadoutsLook(), TFormMain::ReadoutLook::Reading);
  EXPECT_TRUE(
      f.StatusText().contains(QStringLiteral("Implausible readings so far: %1.").arg(implausible)));
}

TEST_F(StationTest, LoggingWritesHeaderAndRowsAndGoesOnAcrossAPortChange) {
  SimProcess second;
  const std::string first = sim.Start({"--noise", "0"});
  const std::string other = second.Start({"--noise", "0"});
  AddSettings("[Ports]\nCOM1=" + first + "\nCOM2=" + other + "\n[Communication]\nComPort=1\n");
  const QString path = dir.filePath("readings.csv");
  TFormMain::SetLogFileDialogHook([&](QWidget*, const QString&) { return path; });
  TFormMain& f = Open();
  const QSize designed = f.size();
  f.mnuFileLog->trigger();
  ASSERT_NE(f.Log(), nullptr);
  EXPECT_NE(f.StatusText().indexOf("readings.csv"), -1);

  f.mnuCommands_R->trigger();
  ASSERT_TRUE(WaitUntil([&] { return Lines(path).size() >= 3; }));
  f.mnuCommands_T->trigger();
  ASSERT_TRUE(WaitUntil([&] { return !f.Continuous() && !f.TickRunning(); }));
  ASSERT_TRUE(f.ChangeComPort(2));
  f.ConnectMonitor();
  const qsizetype before = Lines(path).size();
  f.mnuCommands_T->trigger();
  ASSERT_TRUE(WaitUntil([&] { return second.ReceivedCommands().back() == "T"; }));
  ASSERT_TRUE(WaitUntil([&] { return Lines(path).size() == before + 1; }));

  const QStringList lines = Lines(path);
  EXPECT_EQ(lines[0], QString::fromLatin1(kReadingLogCsvHeader));
  EXPECT_EQ(lines.count(QString::fromLatin1(kReadingLogCsvHeader)), 1);
  for (const QString& row : lines.mid(1)) EXPECT_EQ(row.count(','), 11) << row.toStdString();
  EXPECT_TRUE(messages.empty());

  f.mnuFileLog->trigger();  // stops logging
  EXPECT_EQ(f.Log(), nullptr);
  EXPECT_EQ(f.size(), designed) << "the status line goes with the log";
  CloseWindow();
  const ProfileFile ini(iniPath);
  EXPECT_FALSE(ini.ReadBool("Station", "LogReadings", true));
  EXPECT_EQ(ini.ReadString("Station", "LogFile", ""), path.toStdString());
  TFormMain::SetLogFileDialogHook({});
}

// The window's readings reach its stored history, and today's report of them is saved as
// HTML and PDF; a folder that cannot be written is one message.
TEST_F(StationTest, TodaysReportOfTheStoredReadingsIsSavedAsHtmlAndPdf) {
  AddSettings("[Ports]\nCOM1=" + sim.Start({"--noise", "0"}) + "\n[Communication]\nComPort=1\n");
  TFormMain& f = Open();
  f.mnuCommands_R->trigger();
  const TReportPeriod today =
      ReportPeriodOf(ReportSpan::Day, QDate::currentDate(), QTimeZone::systemTimeZone());
  const QString html = dir.filePath("today.html"), pdf = dir.filePath("today.pdf");
  // The store writes about once a second.
  ASSERT_TRUE(WaitUntil([&] {
    f.SaveReportAs(today, html);
    QFile file(html);
    return file.open(QIODevice::ReadOnly) && file.readAll().contains("Readings / failed");
  }));
  f.SaveReportAs(today, pdf);
  QFile file(pdf);
  ASSERT_TRUE(file.open(QIODevice::ReadOnly));
  EXPECT_TRUE(file.read(5) == "%PDF-");
  EXPECT_TRUE(messages.empty());
  f.SaveReportAs(today, dir.filePath("missing/today.pdf"));
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_NE(messages[0].text.find("could not be saved"), std::string::npos);
}

TEST_F(StationTest, UnwritableLogIsOneStatusMessageWithACountAndPollingGoesOn) {
  StartSim();
  const QString folder = dir.filePath("gone");
  const QString path = folder + "/readings.csv";
  AddSettings("[Station]\nLogReadings=1\nLogFile=" + path.toStdString() + "\n");
  TFormMain& f = Open();
  ASSERT_NE(f.Log(), nullptr) << "logging resumes from the settings";
  f.mnuCommands_R->trigger();
  ASSERT_TRUE(WaitUntil([&] { return f.Log()->NotLogged() >= 3; }));
  EXPECT_TRUE(f.Continuous());
  EXPECT_TRUE(messages.empty()) << "no box holds up polling";
  const QString failing = f.StatusText();
  EXPECT_TRUE(failing.startsWith("Readings are not being logged: ")) << failing.toStdString();
  EXPECT_NE(failing.indexOf(QString("not logged so far: %1.").arg(f.Log()->NotLogged())), -1)
      << failing.toStdString();

  ASSERT_TRUE(QDir().mkpath(folder));
  ASSERT_TRUE(WaitUntil([&] { return Lines(path).size() >= 2; }));
  EXPECT_TRUE(f.StatusText().contains("again;")) << "and how many were lost";
  f.mnuCommands_T->trigger();
}

}  // namespace
}  // namespace vemo::test

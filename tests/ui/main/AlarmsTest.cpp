// SPDX-License-Identifier: GPL-3.0-or-later
// The program's own alarms in the main window, against the simulated monitor through the
// real serial layer: what the operator sees and hears, the log, the hook, acknowledging.
#include <QAction>
#include <QApplication>
#include <QDoubleSpinBox>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStatusBar>
#include <QSystemTrayIcon>
#include <QTableWidget>
#include <QTest>
#include <QToolButton>

#include "tests/ui/main/MainWindowFixture.h"
#include "ui/alarms/AlarmHistoryWindow.h"
#include "ui/alarms/AlarmSettingsDialog.h"
#include "ui/alarms/OperatorAlarms.h"
#include "ui/main/MainStyle.h"
#include "ui/meter/DCDial.h"
#include "ui/trend/TrendWindow.h"

namespace vemo::test {
namespace {

using AlarmsTest = MainWindowTest;

QString Text(const QString& path) {
  QFile file(path);
  return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

TEST_F(AlarmsTest, VSWRAboveTheLevelFlashesSoundsLogsAndRunsTheHookUntilAcknowledged) {
  const QString hookOut = dir.filePath("hook.txt");
  const QString hook = dir.filePath("hook.sh");
  {
    QFile script(hook);
    ASSERT_TRUE(script.open(QIODevice::WriteOnly));
    script.write("#!/bin/sh\nenv | grep '^VEMOSWR_ALARM_' | sort >> \"$1\"\necho --- >> \"$1\"\n");
    script.setPermissions(script.permissions() | QFile::ExeOwner);
  }
  // The monitor's own VSWR alarm off: only the program's alarm trips.
  StartSim({"--status", "00C0", "--forward", "100", "--reflected", "1"});
  AddSettings("[Alarms]\nVSWRAbove=2\nKeyedAbove=10\nLog=alarms.csv\nHook=" + hook.toStdString() +
              " " + hookOut.toStdString() + "\n");
  TFormMain& f = Open();
  f.mnuCommands_R->trigger();
  ASSERT_TRUE(WaitUntil([&] { return CountCommand("T") >= 1 && !f.TickRunning(); }));
  EXPECT_EQ(f.windowTitle(), "VemoSWR");
  EXPECT_EQ(player.plays, 0);

  sim.SetReflected(30);  // VSWR 3.4
  ASSERT_TRUE(WaitUntil([&] { return f.windowTitle().startsWith("ALARM"); }));
  EXPECT_TRUE(player.playing);
  EXPECT_TRUE(f.Alarms().Flashing());
  EXPECT_EQ(IndicatorColour(f.pnlAlarm), ButtonFace()) << "the monitor's own alarm is off";
  const bool lit = f.Alarms().FlashLit();
  EXPECT_TRUE(WaitUntil([&] { return f.Alarms().FlashLit() != lit; }, std::chrono::seconds(2)));
  EXPECT_NE(f.StatusText().indexOf("ALARM: VSWR"), -1) << f.StatusText().toStdString();
  ASSERT_TRUE(WaitUntil([&] { return Text(hookOut).contains("---"); }));
  const QString env = Text(hookOut);
  for (const QString& line :
       {QString("VEMOSWR_ALARM_SOURCE=vswr"), QString("VEMOSWR_ALARM_STATE=tripped"),
        QString("VEMOSWR_ALARM_PORT=") + QString::fromStdString(sim.DevicePath()),
        QString("VEMOSWR_ALARM_VALUE=3.")})
    EXPECT_TRUE(env.contains(line)) << line.toStdString() << " in\n" << env.toStdString();
  if (!QSystemTrayIcon::isSystemTrayAvailable()) {  // the window was never shown
    EXPECT_EQ(f.StatusText().count("No system tray"), 1) << f.StatusText().toStdString();
  }

  // Acknowledged, from the trend window, while still active: silent, but steady red and
  // still named everywhere.
  f.mnuViewTrend->trigger();
  ASSERT_NE(f.Trend(), nullptr);
  ASSERT_FALSE(f.Trend()->btnAcknowledge->isHidden());
  f.Trend()->btnAcknowledge->click();
  EXPECT_TRUE(f.Trend()->btnAcknowledge->isHidden());
  EXPECT_FALSE(player.playing);
  EXPECT_EQ(f.windowTitle(), "ALARM (acknowledged) - VemoSWR");
  EXPECT_FALSE(f.Alarms().Flashing());
  EXPECT_TRUE(f.Alarms().FlashLit());
  EXPECT_NE(f.StatusText().indexOf("ALARM (acknowledged): VSWR 3."), -1)
      << f.StatusText().toStdString();

  sim.SetReflected(1);
  ASSERT_TRUE(WaitUntil([&] { return Text(hookOut).count("---") == 2; }));
  EXPECT_EQ(f.windowTitle(), "VemoSWR");
  EXPECT_FALSE(f.Alarms().FlashLit());
  EXPECT_EQ(f.StatusText().indexOf("ALARM"), -1);
  EXPECT_TRUE(Text(hookOut).contains("VEMOSWR_ALARM_STATE=cleared"));
  EXPECT_EQ(player.plays, 1) << "acknowledged and cleared: no second sound";
  f.mnuCommands_T->trigger();

  const QStringList log = Text(dir.filePath("alarms.csv")).split('\n', Qt::SkipEmptyParts);
  ASSERT_EQ(log.size(), 4) << Text(dir.filePath("alarms.csv")).toStdString();
  EXPECT_TRUE(log[1].contains(",vswr,tripped,3."));
  EXPECT_TRUE(log[2].contains(",vswr,acknowledged,"));
  EXPECT_TRUE(log[3].contains(",vswr,cleared,"));

  f.mnuViewAlarmHistory->trigger();
  QTableWidget* table = f.Alarms().HistoryWindow()->Table();
  ASSERT_EQ(table->rowCount(), 1);
  EXPECT_EQ(table->item(0, 1)->text(), "VSWR");
  for (const int column : {0, 3, 4}) EXPECT_FALSE(table->item(0, column)->text().isEmpty());
}

TEST_F(AlarmsTest, ShortcutAcknowledgesWithTheFocusInTheDbmBoxAndTheButtonToo) {
  // The monitor's latching VSWR alarm is on as well: the panel stays red once acknowledged.
  StartSim({"--status", "0088", "--forward", "100", "--reflected", "30"});
  AddSettings(
      "[Alarms]\nReflectedAbove=20\nVSWRAbove=abc\nSound=maybe\nHook=/nonexistent/alarm-hook\n");
  TFormMain& f = Open();
  for (const char* key : {"VSWRAbove", "Sound"})
    EXPECT_NE(f.StatusText().indexOf(key), -1) << key << " in " << f.StatusText().toStdString();
  f.show();
  f.activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&f));
  f.editDBM->setFocus();

  TriggerAndWait();
  ASSERT_TRUE(f.Alarms().Sounding());
  const QString dbm = f.editDBM->text();
  QTest::keyClick(f.editDBM, Qt::Key_K, Qt::ControlModifier);
  EXPECT_FALSE(f.Alarms().Sounding());
  EXPECT_FALSE(player.playing);
  EXPECT_TRUE(f.editDBM->hasFocus());
  EXPECT_EQ(f.editDBM->text(), dbm);
  EXPECT_EQ(IndicatorColour(f.pnlAlarm), AlarmRed());
  EXPECT_FALSE(f.Alarms().Flashing());

  sim.SetReflected(5);  // the program's alarm clears; the monitor's latched one stays
  TriggerAndWait();
  sim.SetReflected(30);
  TriggerAndWait();
  ASSERT_TRUE(f.Alarms().Sounding());
  EXPECT_EQ(player.plays, 2);
  ASSERT_TRUE(f.Alarms().AcknowledgeButton()->isVisible());
  f.Alarms().AcknowledgeButton()->click();
  EXPECT_FALSE(player.playing);
  EXPECT_FALSE(f.Alarms().AcknowledgeButton()->isVisible());
  EXPECT_TRUE(WaitUntil([&] { return f.StatusText().contains("could not be started"); }));

  // The dialog saves what the operator changed, and only that: the bad keys stay as written.
  bool handled = false;
  WhenModal([&](QDialog* d) {
    auto* dialog = qobject_cast<AlarmSettingsDialog*>(d);
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(dialog->ReflectedAbove->value(), 20);
    dialog->ReflectedAbove->setValue(25);
    dialog->accept();
    handled = true;
  });
  f.mnuViewAlarmSettings->trigger();
  ASSERT_TRUE(handled);
  EXPECT_EQ(f.Alarms().Settings().Levels.ReflectedAbove, 25);
  CloseWindow();
  const std::string ini = SettingsText();
  for (const char* line : {"ReflectedAbove=25\n", "VSWRAbove=abc\n", "Sound=maybe\n"})
    EXPECT_NE(ini.find(line), std::string::npos) << line << " in\n" << ini;
}

TEST_F(AlarmsTest, NoReadingWhilePollingTripsTheLinkAlarmUntilTheOperatorStopsPolling) {
  StartSim({"--status", "00C0"});
  AddSettings("[Alarms]\nLinkLostAfter=1\n");
  TFormMain& f = Open();
  f.mnuCommands_R->trigger();
  ASSERT_TRUE(WaitUntil([&] { return CountCommand("T") >= 1 && !f.TickRunning(); }));
  sim.Kill();
  ASSERT_TRUE(WaitUntil([&] { return f.Alarms().Sounding(); }));
  EXPECT_EQ(f.Alarms().Evaluator().State(AlarmSource::LinkLost), AlarmState::Active);
  f.mnuCommands_T->trigger();
  // Nobody acknowledged it: it stays latched, amber and silent, until somebody does.
  EXPECT_EQ(f.Alarms().Evaluator().State(AlarmSource::LinkLost), AlarmState::Latched);
  EXPECT_FALSE(player.playing);
  EXPECT_EQ(f.Alarms().HistoryNote(), QString());
  EXPECT_NE(f.StatusText().indexOf("Cleared, not acknowledged: No reading."), -1)
      << f.StatusText().toStdString();
  QTest::mouseClick(f.pnlAlarm, Qt::LeftButton);
  EXPECT_EQ(f.Alarms().Evaluator().State(AlarmSource::LinkLost), AlarmState::Normal);
  EXPECT_EQ(f.windowTitle(), "VemoSWR");
}

TEST_F(AlarmsTest, UnattendedStartRaisesTheLinkAlarmWithoutABoxAndPollsOnceTheMonitorAppears) {
  const std::string link = dir.filePath("ttyMonitor").toStdString();
  AddSettings("[Ports]\nCOM2=" + link +
              "\n[Communication]\nComPort=2\n[Alarms]\nLinkLostAfter=1\n");
  TFormMain::SetUnattendedStart(true);
  TFormMain& f = Open();
  TFormMain::SetUnattendedStart(false);
  f.SetRetryBackoff(RetryBackoff(100, 800));  // the real 1 s .. 30 s, shortened
  f.mnuCommands_R->trigger();
  ASSERT_TRUE(WaitUntil([&] { return f.Alarms().Evaluator().IsActive(AlarmSource::LinkLost); }))
      << f.StatusText().toStdString();
  EXPECT_TRUE(f.Retrying());
  const QString said =
      QString::fromStdString("Cannot open COM2 (" + link + "): the device does not exist");
  EXPECT_NE(f.StatusText().indexOf(said), -1) << f.StatusText().toStdString();

  sim.Start({"--noise", "0", "--status", "00C0", "--link", link});
  ASSERT_TRUE(WaitUntil([&] { return CountCommand("T") >= 2; }, std::chrono::seconds(20)));
  EXPECT_TRUE(f.Continuous());
  EXPECT_FALSE(f.Alarms().Evaluator().IsActive(AlarmSource::LinkLost));
  EXPECT_EQ(f.StatusText().indexOf(said), -1) << "no longer holds";
  EXPECT_TRUE(MessageTexts().empty());
}

TEST_F(AlarmsTest, TheStatusAreaNeverCoversTheControlsInAnyLayout) {
  StartSim({"--status", "00C0", "--forward", "100", "--reflected", "30"});
  // A warning from the start, and an alarm with its button: text on several lines.
  AddSettings("[Alarms]\nReflectedAbove=20\nVSWRAbove=2\nDelay=soon\n");
  TFormMain& f = Open();
  f.show();
  const auto check = [&](const std::string& layout) {
    QApplication::sendPostedEvents();
    QApplication::processEvents();
    const auto inWindow = [&](const QWidget* w) {
      return QRect(w->mapTo(&f, QPoint()), w->size());
    };
    const QRect bar = inWindow(f.statusBar());
    EXPECT_TRUE(f.rect().contains(bar)) << layout;
    const QWidget* const controls[] = {f.spdbtnContinuous, f.spdbtnTrigger, f.pnlAlarm, f.pnlRS232,
                                       f.lblConnection,    f.Edit_PEP,      f.Button1,  f.dcMeter};
    for (const QWidget* w : controls) {
      // The diagnostics panel lies beyond the window's edge while it is not chosen.
      if (!w->isVisibleTo(&f) || (w == f.Button1 && !f.DiagnosticsShown())) continue;
      EXPECT_FALSE(inWindow(w).intersects(bar)) << layout << ' ' << w->objectName().toStdString();
      EXPECT_TRUE(f.rect().contains(inWindow(w))) << layout << ' ' << w->objectName().toStdString();
    }
    const auto* status = f.findChild<QLabel*>(QStringLiteral("lblStatus"));
    ASSERT_NE(status, nullptr);
    EXPECT_GE(status->height(), status->heightForWidth(status->width())) << layout << ": cut short";
  };
  for (int alarm = 0; alarm < 2; ++alarm) {
    if (alarm) TriggerAndWait();
    ASSERT_EQ(f.Alarms().Sounding(), alarm == 1);
    for (int layout = 0; layout < 8; ++layout) {
      const bool meter = layout & 1, peak = layout & 2, diagnostics = layout & 4;
      if (f.MeterShown() != meter) f.mnuViewMeter->trigger();
      if (f.PeakHoldShown() != peak) f.mnuViewPeakHold->trigger();
      if (f.DiagnosticsShown() != diagnostics) f.mnuViewDiagnostics->trigger();
      check("meter " + std::to_string(meter) + " peak " + std::to_string(peak) + " diagnostics " +
            std::to_string(diagnostics) + " alarm " + std::to_string(alarm));
    }
  }
}

}  // namespace
}  // namespace vemo::test

// SPDX-License-Identifier: GPL-3.0-or-later
// The rig in the main window, against Hamlib's dummy rig behind rigctld and the simulated
// monitor: the transmit interlock, and a sweep from its dialog.
#include <QAction>
#include <QCoreApplication>
#include <QDir>
#include <QDoubleSpinBox>
#include <QFile>
#include <QSpinBox>
#include <QTest>

#include "tests/support/RigctldProcess.h"
#include "tests/ui/main/MainWindowFixture.h"
#include "ui/main/MainRig.h"
#include "ui/rig/RigDialog.h"
#include "ui/rig/SweepDialog.h"
#include "ui/rig/SweepPlot.h"

namespace vemo::test {
namespace {

// The pictures of the manual, in build/artifacts.
void SaveForManual(QWidget& widget, const char* name) {
  const QString artifacts = qEnvironmentVariable(
      "VEMO_ARTIFACT_DIR", QCoreApplication::applicationDirPath() + "/../artifacts");
  QDir().mkpath(artifacts);
  EXPECT_TRUE(widget.grab().save(artifacts + '/' + name));
}

class RigTest : public MainWindowTest {
 protected:
  void SetUp() override {
    MainWindowTest::SetUp();
    rigctld.Start();
    rigctld.Rigctl({"F", "14074000"});
  }
  void AddRig(const std::string& more) {
    AddSettings("[Rig]\nModel=2\nHost=" + rigctld.Address() + "\nInterval=100\n" + more);
  }
  RigctldProcess rigctld;
};

TEST_F(RigTest, AnAlarmAtTheBandsLevelUnkeysAndHoldsTheRigUntilAcknowledged) {
  StartSim({"--status", "00C0", "--forward", "100", "--reflected", "1"});
  AddSettings("[Alarms]\nVSWRAbove=5\nKeyedAbove=10\nLog=alarms.csv\n[Alarms 20m]\nVSWRAbove=2\n");
  AddRig("Interlock=vswr\n");
  rigctld.Rigctl({"T", "1"});
  TFormMain& f = Open();
  MainRig& rig = f.RigControl();
  f.mnuCommands_R->trigger();
  ASSERT_TRUE(WaitUntil([&] { return f.StatusText().contains("Rig: 14.074 MHz, 20m"); }))
      << f.StatusText().toStdString();
  EXPECT_TRUE(rigctld.Ptt());

  sim.SetReflected(30);  // VSWR 3.4: above 20 m's level, below the global one
  ASSERT_TRUE(WaitUntil([&] { return rig.Inhibited(); }));
  EXPECT_FALSE(rigctld.Ptt());
  EXPECT_TRUE(f.StatusText().contains("TX INHIBITED – acknowledge to release"));
  SaveForManual(f, "rig-inhibited.png");
  RigDialog settings(&f);
  settings.SetSettings(rig.Station()->Settings());
  SaveForManual(settings, "rig-dialog.png");
  const QString logPath =
      QString::fromStdString(iniPath).section('/', 0, -2) + "/VemoSWR-interlock.csv";
  const auto logText = [&] {
    QFile log(logPath);
    return log.open(QIODevice::ReadOnly) ? QString::fromUtf8(log.readAll()) : QString();
  };
  rigctld.Rigctl({"T", "1"});  // keyed again while latched: unkeyed again
  EXPECT_TRUE(WaitUntil([&] { return logText().contains(",re-unkeyed,vswr"); }))
      << logText().toStdString();
  EXPECT_FALSE(rigctld.Ptt());

  f.mnuCommandsAcknowledge->trigger();
  EXPECT_FALSE(rig.Inhibited());
  EXPECT_FALSE(f.StatusText().contains("TX INHIBITED"));
  rigctld.Rigctl({"T", "1"});
  ASSERT_TRUE(WaitUntil([&] { return rig.Station()->State(0).Keyed; }));
  EXPECT_TRUE(rigctld.Ptt()) << "released: a key-up stays";

  rig.actTestInterlock->trigger();
  EXPECT_FALSE(rigctld.Ptt());
  EXPECT_TRUE(rig.Inhibited());
  f.mnuCommandsAcknowledge->trigger();
  EXPECT_FALSE(rig.Inhibited());

  const QString text = logText();
  for (const char* line : {",tripped,vswr", ",released,", ",tripped,test"})
    EXPECT_TRUE(text.contains(line)) << line << '\n' << text.toStdString();
}

TEST_F(RigTest, TheSweepDialogFindsTheResonanceAndEscapeStopsItUnkeyedAndRestored) {
  StartSim({"--status", "00C0", "--resonance", "14175000", "--bandwidth", "300000", "--rig",
            rigctld.Address()});
  AddRig("");
  TFormMain& f = Open();
  f.SetPollingInterval(100);
  f.mnuCommands_R->trigger();
  ASSERT_TRUE(WaitUntil([&] { return f.StatusText().contains("20m"); }));
  f.RigControl().actSweep->trigger();
  SweepDialog* sweep = f.RigControl().Sweep();
  ASSERT_NE(sweep, nullptr);
  EXPECT_EQ(sweep->FromKhz->value(), 14000) << "the current band's edges";
  EXPECT_EQ(sweep->ToKhz->value(), 14350);
  sweep->ToKhz->setValue(14400);
  EXPECT_FALSE(sweep->Start()) << "outside the band";
  sweep->ToKhz->setValue(14350);
  sweep->StepKhz->setValue(50);
  sweep->DwellMs->setValue(100);
  ASSERT_TRUE(sweep->Start());
  ASSERT_TRUE(WaitUntil([&] { return !sweep->Running(); }, std::chrono::seconds(30)));
  EXPECT_EQ(sweep->Result(), "Completed");
  const auto& points = sweep->Plot->Points();
  ASSERT_EQ(points.size(), 8u);
  const auto best = std::min_element(points.begin(), points.end(),
                                     [](const auto& a, const auto& b) { return a.Vswr < b.Vswr; });
  EXPECT_NEAR(best->FrequencyHz, 14175000, 50000);
  EXPECT_EQ(rigctld.Frequency(), 14074000);
  EXPECT_FALSE(rigctld.Ptt());
  SaveForManual(*sweep, "sweep-dialog.png");

  sweep->DwellMs->setValue(10000);
  ASSERT_TRUE(sweep->Start());
  ASSERT_TRUE(WaitUntil([&] { return rigctld.Ptt(); }));
  QTest::keyClick(sweep, Qt::Key_Escape);
  ASSERT_TRUE(WaitUntil([&] { return !sweep->Running(); }, std::chrono::seconds(3)));
  EXPECT_FALSE(rigctld.Ptt());
  EXPECT_EQ(rigctld.Frequency(), 14074000);
  EXPECT_EQ(sweep->Result(), "Stopped with Escape");
}

}  // namespace
}  // namespace vemo::test

// SPDX-License-Identifier: GPL-3.0-or-later
// What the window shows: units and formats by full scale, the dial and its range list,
// the meter toggle, the diagnostics panel and the help window.
#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QFrame>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTextBrowser>
#include <QTimer>

#include <algorithm>
#include <cmath>

#include "platform/HelpViewer.h"
#include "tests/ui/main/MainWindowFixture.h"
#include "ui/controls/NumEdit.h"
#include "ui/main/MainStyle.h"
#include "ui/meter/DCDial.h"
#include "ui/meter/Meter.h"

namespace vemo::test {
namespace {

using DisplayTest = MainWindowTest;

TEST_F(DisplayTest, UnitsAndFormatsFollowTheMonitorsFullScale) {
  struct Row {
    double fullScale;
    const char* unit;
    const char* forward;    // 80 % of full scale
    const char* reflected;  // 1 % of full scale
  };
  const Row rows[] = {
      {5, "W", "    4.000", "      0.0500"},        {50, "W", "   40.00", "      0.500"},
      {500, "W", "  400.0", "      5.00"},          {5000, "KW", "    4.000", "      0.0500"},
      {50000, "KW", "   40.00", "      0.500"},     {500000, "KW", "  400.0", "      5.00"},
      {2000000, "MW", "    1.600", "      0.0200"},
  };
  StartSim();
  TFormMain& f = Open();
  for (const Row& row : rows) {
    sim.SetFullScale(row.fullScale);
    sim.SetForward(row.fullScale * 0.8);
    sim.SetReflected(row.fullScale * 0.01);
    TriggerAndWait();
    const std::string unit = row.unit;
    EXPECT_EQ(f.Label1D->text().toStdString(), "Forward Power (" + unit + "):") << row.fullScale;
    EXPECT_EQ(f.Label2D->text().toStdString(), "Reflected Power (" + unit + "):");
    EXPECT_EQ(f.Edit_Forward_Power->text().toStdString(), row.forward) << row.fullScale;
    EXPECT_EQ(f.Edit_Reverse_Power->text().toStdString(), row.reflected) << row.fullScale;
    // The dial works in watts on its own scale (1200 W by default).
    EXPECT_EQ(f.dcMeter->Position(),
              std::min(static_cast<int>(std::lround(row.fullScale * 0.8)), 1200));
  }
  EXPECT_TRUE(messages.empty());
}

TEST_F(DisplayTest, RangeListChangesOnlyTheDial) {
  StartSim({"--forward", "900", "--reflected", "9", "--full-scale", "1250"});
  TFormMain& f = Open();
  TriggerAndWait();
  ASSERT_EQ(f.dcMeter->Position(), 900);
  const QString shown = f.Edit_Forward_Power->text();
  const std::vector<std::string> sent = Commands();
  const auto choose = [&](int item) {
    f.cmboRangeList->setCurrentIndex(item);
    Q_EMIT f.cmboRangeList->activated(item);
  };

  choose(4);  // "600 Watts"
  EXPECT_EQ(f.dcMeter->MaxValue(), 600);
  EXPECT_EQ(f.dcMeter->Position(), 600);
  EXPECT_EQ(f.lblMeterUnit->text(), "(W)");
  choose(8);  // "12 Kilowatts"
  EXPECT_EQ(f.dcMeter->Position(), 600) << "widening does not bring 900 back";
  EXPECT_EQ(f.lblMeterUnit->text(), "(KW)");

  choose(kAutoRangeIndex);  // the dial's 600 W picks the 1200 W scale
  EXPECT_EQ(CurrentRange, 5);
  EXPECT_EQ(f.lblMeterUnit->text(), "(W)");
  EXPECT_EQ(f.Edit_Forward_Power->text(), shown);
  EXPECT_EQ(Commands(), sent) << "nothing is sent to the monitor";

  sim.SetForward(1300);  // within the full scale's margin: a measurement
  TriggerAndWait();
  EXPECT_EQ(CurrentRange, 6);
  EXPECT_EQ(f.dcMeter->Position(), 1300);
  EXPECT_EQ(f.lblMeterUnit->text(), "(KW)");
  // The same rounded power again leaves the dial and its unit label alone.
  f.lblMeterUnit->setText(QStringLiteral("unchanged"));
  TriggerAndWait();
  EXPECT_EQ(f.lblMeterUnit->text(), "unchanged");
  EXPECT_TRUE(messages.empty());
}

TEST_F(DisplayTest, DialLabelsReadKilowattsFromTheThreeKilowattScale) {
  StartSim();
  TFormMain& f = Open();
  struct Row {
    int item;
    int value;
    const char* text;
  };
  const Row rows[] = {{5, 1200, "1200"}, {0, 25, "25"}, {6, 2500, "2"}, {11, 120000, "120"}};
  for (const Row& row : rows) {
    f.cmboRangeList->setCurrentIndex(row.item);
    Q_EMIT f.cmboRangeList->activated(row.item);
    QString text;
    f.dcMeterLabelPosition(f.dcMeter, row.value, text, 0);
    EXPECT_EQ(text.toStdString(), row.text) << row.item;
  }
}

TEST_F(DisplayTest, MeterToggleMovesThePanelsAndResizesTheWindow) {
  StartSim();
  TFormMain& f = Open();
  f.show();
  ASSERT_FALSE(f.MeterShown());
  f.mnuViewMeter->trigger();
  EXPECT_TRUE(f.mnuViewMeter->isChecked());
  EXPECT_EQ(QSize(f.ClientWidth(), f.ClientHeight()), QSize(301, 417));
  EXPECT_EQ(f.Panel1->pos(), QPoint(2, 2));
  EXPECT_EQ(f.Panel_Display->pos(), QPoint(2, 187));
  EXPECT_EQ(f.height() - f.ClientHeight(), f.menuWidget()->height());

  f.mnuViewMeter->trigger();
  EXPECT_FALSE(f.mnuViewMeter->isChecked());
  EXPECT_EQ(QSize(f.ClientWidth(), f.ClientHeight()), QSize(301, 233));
  EXPECT_EQ(f.Panel_Display->pos(), QPoint(2, 2));
  EXPECT_EQ(f.Panel1->pos(), QPoint(2, 235)) << "below the client area";

  f.mnuViewDiagnostics->trigger();
  EXPECT_EQ(f.ClientWidth(), 301 + TFormMain::TestPanelWidth + 2);
  EXPECT_LE(f.TestPanel->geometry().right(), f.ClientWidth());
  f.mnuViewDiagnostics->trigger();
  EXPECT_EQ(f.ClientWidth(), 301);
  EXPECT_GE(f.TestPanel->x(), f.ClientWidth()) << "out of sight again";
}

TEST_F(DisplayTest, DiagnosticsPanelDrivesTheDisplayWithoutTheMonitor) {
  StartSim();
  TFormMain& f = Open();
  const std::vector<std::string> sent = Commands();
  f.RealEdit1->SetValue(100);
  f.RealEdit2->SetValue(1);
  f.Button1->click();
  ExpectWorkedExample(f);
  EXPECT_EQ(IndicatorColour(f.pnlAlarm), ButtonFace());
  EXPECT_TRUE(f.Timer2->isActive());

  // Each tick with noise mode "W" adds 0 to 9 W and takes the drift of 0.05 W away.
  f.Timer2Timer();
  const double forward = f.RealEdit1->Value();
  EXPECT_GE(forward, 99.95 - 1e-9);
  EXPECT_LE(forward, 108.95 + 1e-9);
  EXPECT_NEAR(std::fmod(forward + 0.05, 1.0), 0.0, 1e-9);
  EXPECT_EQ(f.Edit_Forward_Power->text().toDouble(), std::round(forward * 10) / 10);

  f.Edit1->setText(QStringLiteral("mW"));  // anything else: 0 to 0.09 W
  f.RealEdit1->SetValue(100);
  f.Timer2Timer();
  EXPECT_GE(f.RealEdit1->Value(), 99.95 - 1e-9);
  EXPECT_LE(f.RealEdit1->Value(), 100.04 + 1e-9);

  f.Button1->click();
  EXPECT_FALSE(f.Timer2->isActive());

  f.Button3->click();  // full scale below 1000 W: steps of 1 W
  EXPECT_DOUBLE_EQ(f.SimulationDrift(), 1.05);
  f.Button4->click();
  f.Button4->click();
  EXPECT_DOUBLE_EQ(f.SimulationDrift(), -0.95);

  f.Button2->click();
  EXPECT_EQ(MessageTexts(), std::vector<std::string>{"BufferEmptyCount =0\rCommFailCount =0"});
  EXPECT_EQ(Commands(), sent);
}

TEST_F(DisplayTest, TabStopsOnlyOnControlsTheUserCanSee) {
  StartSim();
  TFormMain& f = Open();
  f.show();
  f.activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&f));
  f.editDBM->setFocus();
  const QRect client = f.centralWidget()->rect();
  for (int i = 0; i < 8; ++i) {
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    QWidget* w = QApplication::focusWidget();
    ASSERT_NE(w, nullptr);
    EXPECT_NE(w, f.editDBm1) << "Tab " << i << " landed under the dBm box";
    const QRect shown(w->mapTo(f.centralWidget(), QPoint(0, 0)), w->size());
    EXPECT_TRUE(w->isVisible() && client.contains(shown))
        << "Tab " << i << " landed on " << w->objectName().toStdString() << ", out of sight";
  }
}

TEST_F(DisplayTest, HelpShowsTheManualShippedWithTheProgram) {
  StartSim();
  TFormMain& f = Open();
  SetApplicationHelpFile(QStringLiteral("VemoSWR.html"));
  f.mnuHelpContents->trigger();
  auto* viewer = f.findChild<HelpViewer*>();
  ASSERT_NE(viewer, nullptr);
  EXPECT_TRUE(viewer->isVisible());
  EXPECT_EQ(viewer->Browser()->documentTitle(), "VemoSWR Help");
  EXPECT_TRUE(viewer->Browser()->toPlainText().contains("Taking readings"));

  SetApplicationHelpFile(QStringLiteral("NoSuchManual.html"));
  f.mnuHelpContents->trigger();
  EXPECT_TRUE(viewer->Browser()->toPlainText().contains("could not be found"));
  SetApplicationHelpFile({});
}

}  // namespace
}  // namespace vemo::test

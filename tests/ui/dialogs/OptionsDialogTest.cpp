// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/dialogs/OptnsDlg.h"

#include <gtest/gtest.h>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QPushButton>
#include <QTest>

#include "tests/ui/controls/ModalWatcher.h"
#include "tests/ui/dialogs/DialogGeometry.h"
#include "tests/ui/dialogs/RecordingForwarders.h"
#include "ui/controls/NumEdit.h"

namespace vemo {
namespace {

TEST(OptionsDialog, ShowsEachModelsControlsInOrderUnclipped) {
  const char* const settings[] = {"grpbxAlarmSettings", "chkbxAlarmEnable", "chkbxRelaySense",
                                  "chkbxLatchAlarm",    "chkbxPwrUpAlarm",  "grpbxVSWRAlarm",
                                  "grpbxHiPwrAlarm",    "grpbxLowPwrAlarm", "grpbxPushToTalk"};
  const QStringList checks = {"chkbxAlarmEnable", "chkbxRelaySense", "chkbxLatchAlarm",
                              "chkbxPwrUpAlarm"};
  const QStringList groups = {"grpbxVSWRAlarm", "grpbxHiPwrAlarm", "grpbxLowPwrAlarm"};
  struct Case {
    const char* model;
    int year, month, day;
    QStringList shown;  // setting controls shown, top to bottom
    int vswrLevels;
  };
  const Case cases[] = {
      {"KRFMON01", 2005, 1, 1, {"grpbxAlarmSettings", "grpbxVSWRAlarm"}, 6},
      {"KRFMON02", 2005, 1, 1, {"grpbxAlarmSettings", "grpbxVSWRAlarm", "grpbxLowPwrAlarm"}, 6},
      {"VPMon002", 2000, 10, 19,
       QStringList{"grpbxAlarmSettings", "chkbxAlarmEnable", "chkbxRelaySense", "grpbxVSWRAlarm",
                   "grpbxHiPwrAlarm"},
       6},
      {"KRFMON03", 2010, 1, 7, QStringList{"grpbxAlarmSettings"} + checks + groups, 13},
      {"KRFMON03", 2010, 1, 8,
       QStringList{"grpbxAlarmSettings"} + checks + groups + QStringList{"grpbxPushToTalk"}, 13},
      {"VPMon002", 2003, 11, 20, QStringList{"grpbxAlarmSettings"} + checks + groups, 13},
      {"ABCMON99", 2010, 1, 8, {}, 6},
      {"KRFMON04", 2010, 1, 8, {}, 6}};
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.model) + " " + std::to_string(c.year) + "-" +
                 std::to_string(c.month) + "-" + std::to_string(c.day));
    test::RecordingForwarders forwarders;
    TdlgOptions dialog(&forwarders);
    // The fullest layout first, so that nothing of it may survive.
    dialog.SetDeviceEnabled(true, "KRFMON03", EncodeDate(2010, 1, 8));
    dialog.SetDeviceEnabled(true, c.model, EncodeDate(c.year, c.month, c.day));
    dialog.Fill(MonitorSettings{});
    dialog.show();
    QStringList shown;
    for (const char* name : settings) {
      if (dialog.findChild<QWidget*>(name)->isVisibleTo(&dialog)) shown << name;
    }
    std::sort(shown.begin(), shown.end());
    QStringList expected = c.shown;
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(shown, expected);
    EXPECT_EQ(dialog.cmbobxVSWRLevel->count(), c.vswrLevels);
    int lastTop = -1;
    for (const QString& name : c.shown) {
      const int top = dialog.findChild<QWidget*>(name)->mapTo(&dialog, QPoint(0, 0)).y();
      EXPECT_GT(top, lastTop) << name.toStdString() << " stands out of order";
      lastTop = top;
    }
    EXPECT_GT(dialog.OKBtn->mapTo(&dialog, QPoint(0, 0)).y(), lastTop);
    for (const std::string& fault : test::LayoutFaults(&dialog)) ADD_FAILURE() << fault;
  }
}

MonitorSettings Distinct() {
  MonitorSettings s;
  s.LatchAlarm = true;
  s.VSWRAlarmEnable = true;
  s.VSWRLevel = 4;
  s.CheckOnZeroPower = true;
  s.HighPowerLevel = 110;
  s.LowPowerLevel = 7;
  s.LowPowerEnable = true;
  s.PushToTalkEnable = true;
  s.PushToTalkDelay = 0.94f;
  return s;
}

class OptionsDialogOk : public testing::Test {
 protected:
  void Prepare(const char* model, const MonitorSettings& s) {
    dialog_.SetDeviceEnabled(true, model, EncodeDate(2010, 1, 8));
    dialog_.Fill(s);
    dialog_.show();
  }
  test::RecordingForwarders forwarders_;
  TdlgOptions dialog_{&forwarders_};
};

TEST_F(OptionsDialogOk, SendsAllNineSettingsEvenWithHiddenControls) {
  Prepare("KRFMON01", Distinct());
  QTest::mouseClick(dialog_.OKBtn, Qt::LeftButton);
  EXPECT_EQ(dialog_.result(), QDialog::Accepted);
  EXPECT_EQ(forwarders_.calls,
            (std::vector<std::string>{"SetAlarmEnable(1)", "SetRelaySense(0)", "SetLatchAlarm(1)",
                                      "SetAlarmAtPowerUp(0)", "SetPushToTalk(1, 0.94)",
                                      "SetVSWRLevel(4)", "SetCheckOnZeroPower(1)",
                                      "SetHighPowerAlarm(0, 110)", "SetLowPowerAlarm(1, 7)"}));
}

TEST_F(OptionsDialogOk, EnterSendsTheClampedValueOfTheEditBeingTyped) {
  Prepare("KRFMON03", Distinct());
  dialog_.cardedLowPowerLevel->selectAll();
  QTest::keyClicks(dialog_.cardedLowPowerLevel, "300");
  QTest::keyClick(dialog_.cardedLowPowerLevel, Qt::Key_Return);
  EXPECT_EQ(dialog_.result(), QDialog::Accepted);
  ASSERT_EQ(forwarders_.calls.size(), 9u);
  EXPECT_EQ(forwarders_.calls[8], "SetLowPowerAlarm(1, 125)");
}

TEST_F(OptionsDialogOk, ALevelBeyondTheListIsSentBackAsRead) {
  MonitorSettings s = Distinct();
  s.VSWRLevel = 9;  // the six-level list has no such entry
  Prepare("KRFMON01", s);
  EXPECT_EQ(dialog_.cmbobxVSWRLevel->currentIndex(), -1);
  dialog_.OKBtnClick();
  ASSERT_EQ(forwarders_.calls.size(), 9u);
  EXPECT_EQ(forwarders_.calls[5], "SetVSWRLevel(9)");
}

TEST_F(OptionsDialogOk, AFailureWhileSendingIsShownAndTheDialogStaysOpen) {
  Prepare("KRFMON03", Distinct());
  forwarders_.failAt = "SetVSWRLevel";
  test::ModalWatcher watcher;
  QTest::mouseClick(dialog_.OKBtn, Qt::LeftButton);
  EXPECT_EQ(watcher.Text(), "Timeout in SetVSWRLevel.");
  EXPECT_EQ(watcher.Icon(), QMessageBox::Critical);
  EXPECT_TRUE(dialog_.isVisible());
  EXPECT_EQ(forwarders_.calls.size(), 6u);
}

}  // namespace
}  // namespace vemo

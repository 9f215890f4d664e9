#include "ui/dialogs/OptnsDlg.h"

#include <gtest/gtest.h>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QTest>

#include <set>

#include "tests/ui/controls/ModalWatcher.h"
#include "tests/ui/dialogs/DialogGeometry.h"
#include "tests/ui/dialogs/RecordingForwarders.h"
#include "ui/controls/NumEdit.h"

namespace vemo {
namespace {

struct OptionsCase {
  const char* model;
  int year, month, day;
  std::vector<std::string> shown;  // setting controls shown, groups top to bottom
  int vswrLevels;
};

void PrintTo(const OptionsCase& c, std::ostream* os) {
  *os << c.model << " dated " << c.year << '-' << c.month << '-' << c.day;
}

const std::vector<std::string> kSettingControls = {
    "grpbxAlarmSettings", "chkbxAlarmEnable", "chkbxRelaySense",
    "chkbxLatchAlarm",    "chkbxPwrUpAlarm",  "grpbxVSWRAlarm",
    "grpbxHiPwrAlarm",    "grpbxLowPwrAlarm", "grpbxPushToTalk"};

class OptionsDialogLayouts : public testing::TestWithParam<OptionsCase> {};

TEST_P(OptionsDialogLayouts, ShowTheModelsControlsUnclippedAndInOrder) {
  const OptionsCase& c = GetParam();
  test::RecordingForwarders forwarders;
  TdlgOptions dialog(&forwarders);
  // A layout with more controls first, so that nothing of it may survive.
  dialog.SetDeviceEnabled(true, "KRFMON03", EncodeDate(2010, 1, 8));
  dialog.SetDeviceEnabled(true, c.model, EncodeDate(c.year, c.month, c.day));
  dialog.Fill(MonitorSettings{});
  dialog.show();

  std::set<std::string> shown;
  for (const std::string& name : kSettingControls) {
    auto* w = dialog.findChild<QWidget*>(QString::fromStdString(name));
    ASSERT_NE(w, nullptr) << name;
    if (w->isVisibleTo(&dialog)) shown.insert(name);
  }
  EXPECT_EQ(shown, std::set<std::string>(c.shown.begin(), c.shown.end()));
  EXPECT_EQ(dialog.cmbobxVSWRLevel->count(), c.vswrLevels);
  EXPECT_TRUE(dialog.OKBtn->isVisible());
  EXPECT_TRUE(dialog.CancelBtn->isVisible());

  // Controls listed later stand lower.
  int lastTop = -1;
  for (const std::string& name : c.shown) {
    auto* w = dialog.findChild<QWidget*>(QString::fromStdString(name));
    const int top = w->mapTo(&dialog, QPoint(0, 0)).y();
    EXPECT_GT(top, lastTop) << name;
    lastTop = top;
  }
  EXPECT_GT(dialog.OKBtn->mapTo(&dialog, QPoint(0, 0)).y(), lastTop);

  for (const std::string& fault : test::LayoutFaults(&dialog)) ADD_FAILURE() << fault;
}

INSTANTIATE_TEST_SUITE_P(
    Models, OptionsDialogLayouts,
    testing::Values(
        OptionsCase{"KRFMON01", 2005, 1, 1, {"grpbxAlarmSettings", "grpbxVSWRAlarm"}, 6},
        OptionsCase{"KRFMON02",
                    2005,
                    1,
                    1,
                    {"grpbxAlarmSettings", "grpbxVSWRAlarm", "grpbxLowPwrAlarm"},
                    6},
        OptionsCase{"VPMon002",
                    2000,
                    10,
                    19,
                    {"grpbxAlarmSettings", "chkbxAlarmEnable", "chkbxRelaySense", "grpbxVSWRAlarm",
                     "grpbxHiPwrAlarm"},
                    6},
        OptionsCase{"KRFMON03",
                    2010,
                    1,
                    7,
                    {"grpbxAlarmSettings", "chkbxAlarmEnable", "chkbxRelaySense", "chkbxLatchAlarm",
                     "chkbxPwrUpAlarm", "grpbxVSWRAlarm", "grpbxHiPwrAlarm", "grpbxLowPwrAlarm"},
                    13},
        OptionsCase{"KRFMON03",
                    2010,
                    1,
                    8,
                    {"grpbxAlarmSettings", "chkbxAlarmEnable", "chkbxRelaySense", "chkbxLatchAlarm",
                     "chkbxPwrUpAlarm", "grpbxVSWRAlarm", "grpbxHiPwrAlarm", "grpbxLowPwrAlarm",
                     "grpbxPushToTalk"},
                    13},
        OptionsCase{"VPMon002",
                    2003,
                    11,
                    20,
                    {"grpbxAlarmSettings", "chkbxAlarmEnable", "chkbxRelaySense", "chkbxLatchAlarm",
                     "chkbxPwrUpAlarm", "grpbxVSWRAlarm", "grpbxHiPwrAlarm", "grpbxLowPwrAlarm"},
                    13},
        OptionsCase{"ABCMON99", 2010, 1, 8, {}, 6}, OptionsCase{"KRFMON04", 2010, 1, 8, {}, 6}));

MonitorSettings Distinct() {
  MonitorSettings s;
  s.LatchAlarm = true;
  s.AlarmAtPowerUp = false;
  s.RelaySense = false;
  s.VSWRAlarmEnable = true;
  s.VSWRLevel = 4;
  s.CheckOnZeroPower = true;
  s.HighPowerLevel = 110;
  s.HighPowerEnable = false;
  s.LowPowerLevel = 7;
  s.LowPowerEnable = true;
  s.PushToTalkEnable = true;
  s.PushToTalkDelay = 0.94f;
  return s;
}

class OptionsDialogSending : public testing::Test {
 protected:
  void Prepare(const char* model, TDateTime date, const MonitorSettings& s) {
    dialog_.SetDeviceEnabled(true, model, date);
    dialog_.Fill(s);
    dialog_.show();
  }
  test::RecordingForwarders forwarders_;
  TdlgOptions dialog_{&forwarders_};
};

TEST_F(OptionsDialogSending, FillShowsEveryValue) {
  Prepare("KRFMON03", EncodeDate(2010, 1, 8), Distinct());
  EXPECT_TRUE(dialog_.chkbxLatchAlarm->isChecked());
  EXPECT_FALSE(dialog_.chkbxPwrUpAlarm->isChecked());
  EXPECT_FALSE(dialog_.chkbxRelaySense->isChecked());
  EXPECT_TRUE(dialog_.chkbxAlarmEnable->isChecked());
  EXPECT_EQ(dialog_.cmbobxVSWRLevel->currentText(), "VSWR = 1.7");
  EXPECT_TRUE(dialog_.chkbxAlarmOnZero->isChecked());
  EXPECT_FALSE(dialog_.chkbxEnableHiPwrAlarm->isChecked());
  EXPECT_EQ(dialog_.cardedHiPower->text(), "110");
  EXPECT_TRUE(dialog_.chkbxLowPower->isChecked());
  EXPECT_EQ(dialog_.cardedLowPowerLevel->text(), "7");
  EXPECT_TRUE(dialog_.chkbxPushToTalkEnable->isChecked());
  EXPECT_EQ(dialog_.realedPushToTalkDelay->text(), "0.94");
}

TEST_F(OptionsDialogSending, OkSendsAllNineSettingsEvenWithHiddenControls) {
  Prepare("KRFMON01", EncodeDate(2005, 1, 1), Distinct());
  QTest::mouseClick(dialog_.OKBtn, Qt::LeftButton);
  EXPECT_EQ(dialog_.result(), QDialog::Accepted);
  EXPECT_FALSE(dialog_.isVisible());
  EXPECT_EQ(forwarders_.calls,
            (std::vector<std::string>{"SetAlarmEnable(1)", "SetRelaySense(0)", "SetLatchAlarm(1)",
                                      "SetAlarmAtPowerUp(0)", "SetPushToTalk(1, 0.94)",
                                      "SetVSWRLevel(4)", "SetCheckOnZeroPower(1)",
                                      "SetHighPowerAlarm(0, 110)", "SetLowPowerAlarm(1, 7)"}));
}

TEST_F(OptionsDialogSending, OkSendsWhatTheUserChanged) {
  Prepare("KRFMON03", EncodeDate(2010, 1, 8), Distinct());
  dialog_.chkbxRelaySense->click();
  dialog_.chkbxPwrUpAlarm->click();
  dialog_.cmbobxVSWRLevel->setCurrentIndex(12);
  dialog_.chkbxEnableHiPwrAlarm->click();
  dialog_.cardedLowPowerLevel->setFocus();
  dialog_.cardedLowPowerLevel->selectAll();
  QTest::keyClicks(dialog_.cardedLowPowerLevel, "300");  // beyond 125: clamped on OK
  dialog_.realedPushToTalkDelay->setText("1.5");
  QTest::keyClick(dialog_.cardedLowPowerLevel, Qt::Key_Return);  // the default button
  EXPECT_EQ(dialog_.result(), QDialog::Accepted);
  EXPECT_EQ(forwarders_.calls,
            (std::vector<std::string>{"SetAlarmEnable(1)", "SetRelaySense(1)", "SetLatchAlarm(1)",
                                      "SetAlarmAtPowerUp(1)", "SetPushToTalk(1, 1.5)",
                                      "SetVSWRLevel(12)", "SetCheckOnZeroPower(1)",
                                      "SetHighPowerAlarm(1, 110)", "SetLowPowerAlarm(1, 125)"}));
  EXPECT_EQ(dialog_.cardedLowPowerLevel->text(), "125");
}

TEST_F(OptionsDialogSending, ALevelBeyondTheListIsSentBackAsRead) {
  MonitorSettings s = Distinct();
  s.VSWRLevel = 9;  // a six-level list has no such entry
  Prepare("KRFMON01", EncodeDate(2005, 1, 1), s);
  EXPECT_EQ(dialog_.cmbobxVSWRLevel->currentIndex(), -1);
  dialog_.OKBtnClick();
  ASSERT_EQ(forwarders_.calls.size(), 9u);
  EXPECT_EQ(forwarders_.calls[5], "SetVSWRLevel(9)");
}

TEST_F(OptionsDialogSending, CancelAndEscapeSendNothing) {
  Prepare("KRFMON03", EncodeDate(2010, 1, 8), Distinct());
  dialog_.chkbxRelaySense->click();
  QTest::mouseClick(dialog_.CancelBtn, Qt::LeftButton);
  EXPECT_EQ(dialog_.result(), QDialog::Rejected);
  dialog_.show();
  QTest::keyClick(dialog_.cmbobxVSWRLevel, Qt::Key_Escape);
  EXPECT_EQ(dialog_.result(), QDialog::Rejected);
  EXPECT_TRUE(forwarders_.calls.empty());
}

TEST_F(OptionsDialogSending, AFailureWhileSendingIsShownAndTheDialogStaysOpen) {
  Prepare("KRFMON03", EncodeDate(2010, 1, 8), Distinct());
  forwarders_.failAt = "SetVSWRLevel";
  test::ModalWatcher watcher;
  QTest::mouseClick(dialog_.OKBtn, Qt::LeftButton);
  EXPECT_EQ(watcher.Count(), 1);
  EXPECT_EQ(watcher.Text(), "Timeout in SetVSWRLevel.");
  EXPECT_EQ(watcher.Icon(), QMessageBox::Critical);
  EXPECT_TRUE(dialog_.isVisible());
  EXPECT_EQ(forwarders_.calls.size(), 6u);
}

TEST_F(OptionsDialogSending, ADisconnectedMonitorDisablesTheVSWRGroup) {
  dialog_.SetDeviceEnabled(false, "KRFMON01", EncodeDate(2005, 1, 1));
  EXPECT_FALSE(dialog_.grpbxVSWRAlarm->isEnabled());
  dialog_.SetDeviceEnabled(true, "KRFMON01", EncodeDate(2005, 1, 1));
  EXPECT_TRUE(dialog_.cmbobxVSWRLevel->isEnabled());
  EXPECT_TRUE(dialog_.chkbxAlarmOnZero->isEnabled());
}

}  // namespace
}  // namespace vemo

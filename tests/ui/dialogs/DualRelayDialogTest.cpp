#include "ui/dialogs/OptnsDlgDualRelay.h"

#include <gtest/gtest.h>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include "platform/Exception.h"
#include "tests/ui/dialogs/DialogGeometry.h"
#include "ui/controls/NumEdit.h"

namespace vemo {
namespace {

const TDateTime kDate = EncodeDate(2010, 1, 8);

MonitorSettings Distinct() {
  MonitorSettings s;
  s.LatchAlarm = true;
  s.AlarmAtPowerUp = false;
  s.RelaySense = true;
  s.Relay2Sense = false;
  s.VSWRAlarmEnable = false;
  s.VSWRLevel = 11;
  s.CheckOnZeroPower = true;
  s.HighPowerLevel = 90;
  s.HighPowerEnable = true;
  s.LowPowerLevel = 12;
  s.LowPowerEnable = false;
  s.PushToTalkEnable = true;
  s.PushToTalkDelay = 2.5f;
  s.SetDACGains(0x0804);  // forward 4, reflected 8
  return s;
}

bool SameSettings(const MonitorSettings& a, const MonitorSettings& b) {
  return a.LatchAlarm == b.LatchAlarm && a.AlarmAtPowerUp == b.AlarmAtPowerUp &&
         a.RelaySense == b.RelaySense && a.Relay2Sense == b.Relay2Sense &&
         a.VSWRAlarmEnable == b.VSWRAlarmEnable && a.VSWRLevel == b.VSWRLevel &&
         a.CheckOnZeroPower == b.CheckOnZeroPower && a.HighPowerLevel == b.HighPowerLevel &&
         a.HighPowerEnable == b.HighPowerEnable && a.LowPowerLevel == b.LowPowerLevel &&
         a.LowPowerEnable == b.LowPowerEnable && a.PushToTalkEnable == b.PushToTalkEnable &&
         a.PushToTalkDelay == b.PushToTalkDelay && a.DACGains() == b.DACGains();
}

class DualRelayDialog : public testing::Test {
 protected:
  TdlgOptionsDualRelay dialog_;
};

TEST_F(DualRelayDialog, ShowsEverySettingUnclippedForTheDualRelayModel) {
  dialog_.SetDeviceEnabled(true, "KRFMON04", kDate);
  dialog_.Fill(Distinct());
  dialog_.show();
  for (QWidget* w : dialog_.findChildren<QWidget*>()) {
    if (!w->objectName().isEmpty() && !w->objectName().startsWith("qt_")) {
      EXPECT_TRUE(w->isVisibleTo(&dialog_)) << w->objectName().toStdString();
    }
  }
  EXPECT_EQ(dialog_.cmbobxVSWRLevel->count(), 13);
  EXPECT_EQ(dialog_.cmbobxVSWRLevel->itemText(12), "VSWR = 2.5");
  for (const std::string& fault : test::LayoutFaults(&dialog_)) ADD_FAILURE() << fault;
  // The gains stand below the settings and the buttons below both.
  EXPECT_GE(dialog_.grpbxDACSettings->y(), dialog_.grpbxAlarmSettings->geometry().bottom());
  EXPECT_GE(dialog_.OKBtn->y(), dialog_.grpbxDACSettings->geometry().bottom());
}

TEST_F(DualRelayDialog, EachRelaySenseBoxStandsInItsOwnGroup) {
  EXPECT_EQ(dialog_.chkbxRelaySense->text(), dialog_.chkbxRelay2Sense->text());
  EXPECT_EQ(dialog_.chkbxRelaySense->parentWidget(), dialog_.grpbxVSWRAlarm);
  EXPECT_EQ(dialog_.chkbxRelay2Sense->parentWidget(), dialog_.grpbxPowerAlarms);
  EXPECT_TRUE(dialog_.grpbxPowerAlarms->isAncestorOf(dialog_.grpbxHiPwrAlarm));
  EXPECT_TRUE(dialog_.grpbxPowerAlarms->isAncestorOf(dialog_.grpbxLowPwrAlarm));
}

TEST_F(DualRelayDialog, AnotherModelGetsOnlyTheButtons) {
  dialog_.SetDeviceEnabled(true, "KRFMON04", kDate);
  dialog_.SetDeviceEnabled(true, "KRFMON03", kDate);
  dialog_.show();
  EXPECT_FALSE(dialog_.grpbxAlarmSettings->isVisible());
  EXPECT_FALSE(dialog_.grpbxDACSettings->isVisible());
  EXPECT_TRUE(dialog_.OKBtn->isVisible());
  for (const std::string& fault : test::LayoutFaults(&dialog_)) ADD_FAILURE() << fault;
}

TEST_F(DualRelayDialog, ReadsBackWhatWasFilled) {
  dialog_.SetDeviceEnabled(true, "KRFMON04", kDate);
  dialog_.Fill(Distinct());
  EXPECT_EQ(dialog_.cmbobxFwdDACGain->currentText(), "4");
  EXPECT_EQ(dialog_.cmbobxRflDACGain->currentText(), "8");
  EXPECT_EQ(dialog_.realedPushToTalkDelay->text(), "2.50");
  EXPECT_TRUE(SameSettings(dialog_.ReadSettings(), Distinct()));

  // Swapped in every Boolean, so that no control can pass by feeding the wrong field.
  MonitorSettings flipped = Distinct();
  for (bool* b : {&flipped.LatchAlarm, &flipped.AlarmAtPowerUp, &flipped.RelaySense,
                  &flipped.Relay2Sense, &flipped.VSWRAlarmEnable, &flipped.CheckOnZeroPower,
                  &flipped.HighPowerEnable, &flipped.LowPowerEnable, &flipped.PushToTalkEnable}) {
    *b = !*b;
  }
  dialog_.Fill(flipped);
  EXPECT_TRUE(SameSettings(dialog_.ReadSettings(), flipped));
}

TEST_F(DualRelayDialog, ChosenGainsGoToTheirBytes) {
  dialog_.SetDeviceEnabled(true, "KRFMON04", kDate);
  dialog_.Fill(Distinct());
  dialog_.cmbobxFwdDACGain->setCurrentIndex(dialog_.cmbobxFwdDACGain->findText("2"));
  dialog_.cmbobxRflDACGain->setCurrentIndex(dialog_.cmbobxRflDACGain->findText("1"));
  const MonitorSettings s = dialog_.ReadSettings();
  EXPECT_EQ(s.FwdDACGain, 2);
  EXPECT_EQ(s.RflDACGain, 1);
  EXPECT_EQ(s.DACGains(), 0x0102);

  dialog_.cmbobxFwdDACGain->setCurrentText("3");  // typed: passed on unchanged
  EXPECT_EQ(dialog_.ReadSettings().FwdDACGain, 3);
}

TEST_F(DualRelayDialog, AGainThatIsNotOneDigitRaisesTheConversionError) {
  dialog_.SetDeviceEnabled(true, "KRFMON04", kDate);
  dialog_.Fill(Distinct());
  struct Case {
    const char* text;
    const char* message;
  };
  for (const Case& c :
       {Case{"x", "'x' is not a valid integer value"}, Case{"", "'' is not a valid integer value"},
        Case{"12", "'12' is not a valid gain value"},
        Case{"-1", "'-1' is not a valid gain value"}}) {
    dialog_.cmbobxRflDACGain->setCurrentText(c.text);
    try {
      dialog_.ReadSettings();
      ADD_FAILURE() << "no error for '" << c.text << "'";
    } catch (const EConvertError& e) {
      EXPECT_STREQ(e.what(), c.message);
    }
  }
}

TEST_F(DualRelayDialog, OkAndCancelCloseWithTheirResults) {
  dialog_.SetDeviceEnabled(true, "KRFMON04", kDate);
  dialog_.Fill(Distinct());
  dialog_.show();
  QTest::mouseClick(dialog_.OKBtn, Qt::LeftButton);
  EXPECT_EQ(dialog_.result(), QDialog::Accepted);
  dialog_.show();
  QTest::mouseClick(dialog_.CancelBtn, Qt::LeftButton);
  EXPECT_EQ(dialog_.result(), QDialog::Rejected);
}

}  // namespace
}  // namespace vemo

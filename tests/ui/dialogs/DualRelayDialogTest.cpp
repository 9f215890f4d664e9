// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/dialogs/OptnsDlgDualRelay.h"

#include <gtest/gtest.h>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QPushButton>
#include <QTest>

#include "platform/Exception.h"
#include "tests/ui/controls/ModalWatcher.h"
#include "tests/ui/dialogs/DialogGeometry.h"
#include "ui/controls/NumEdit.h"

namespace vemo {
namespace {

const TDateTime kDate = EncodeDate(2010, 1, 8);

MonitorSettings Distinct() {
  MonitorSettings s;
  s.LatchAlarm = true;
  s.RelaySense = true;
  s.VSWRLevel = 11;
  s.CheckOnZeroPower = true;
  s.HighPowerLevel = 90;
  s.HighPowerEnable = true;
  s.LowPowerLevel = 12;
  s.PushToTalkEnable = true;
  s.PushToTalkDelay = 2.5f;
  s.SetDACGains(0x0804);  // forward 4, reflected 8
  return s;
}

void ExpectSame(const MonitorSettings& a, const MonitorSettings& b) {
  EXPECT_EQ(a.LatchAlarm, b.LatchAlarm);
  EXPECT_EQ(a.AlarmAtPowerUp, b.AlarmAtPowerUp);
  EXPECT_EQ(a.RelaySense, b.RelaySense);
  EXPECT_EQ(a.Relay2Sense, b.Relay2Sense);
  EXPECT_EQ(a.VSWRAlarmEnable, b.VSWRAlarmEnable);
  EXPECT_EQ(a.VSWRLevel, b.VSWRLevel);
  EXPECT_EQ(a.CheckOnZeroPower, b.CheckOnZeroPower);
  EXPECT_EQ(a.HighPowerLevel, b.HighPowerLevel);
  EXPECT_EQ(a.HighPowerEnable, b.HighPowerEnable);
  EXPECT_EQ(a.LowPowerLevel, b.LowPowerLevel);
  EXPECT_EQ(a.LowPowerEnable, b.LowPowerEnable);
  EXPECT_EQ(a.PushToTalkEnable, b.PushToTalkEnable);
  EXPECT_EQ(a.PushToTalkDelay, b.PushToTalkDelay);
  EXPECT_EQ(a.DACGains(), b.DACGains());
}

class DualRelayDialog : public testing::Test {
 protected:
  void SetUp() override {
    dialog_.SetDeviceEnabled(true, "KRFMON04", kDate);
    dialog_.Fill(Distinct());
  }
  TdlgOptionsDualRelay dialog_;
};

TEST_F(DualRelayDialog, ShowsEverySettingUnclippedForItsModelAndOnlyButtonsForOthers) {
  dialog_.show();
  size_t named = 0;
  for (QWidget* w : dialog_.findChildren<QWidget*>()) {
    named += !w->objectName().isEmpty() && !w->objectName().startsWith("qt_");
  }
  EXPECT_EQ(test::VisibleNamedControls(&dialog_).size(), named) << "a control stays hidden";
  EXPECT_EQ(dialog_.cmbobxVSWRLevel->count(), 13);
  for (const std::string& fault : test::LayoutFaults(&dialog_)) ADD_FAILURE() << fault;
  EXPECT_GE(dialog_.grpbxDACSettings->y(), dialog_.grpbxAlarmSettings->geometry().bottom());
  EXPECT_GE(dialog_.OKBtn->y(), dialog_.grpbxDACSettings->geometry().bottom());
  // The same caption twice: the VSWR relay's and the power alarms' relay's.
  EXPECT_EQ(dialog_.chkbxRelaySense->text(), dialog_.chkbxRelay2Sense->text());
  EXPECT_EQ(dialog_.chkbxRelaySense->parentWidget(), dialog_.grpbxVSWRAlarm);
  EXPECT_EQ(dialog_.chkbxRelay2Sense->parentWidget(), dialog_.grpbxPowerAlarms);

  dialog_.SetDeviceEnabled(true, "KRFMON03", kDate);
  EXPECT_FALSE(dialog_.grpbxAlarmSettings->isVisible());
  EXPECT_FALSE(dialog_.grpbxDACSettings->isVisible());
  for (const std::string& fault : test::LayoutFaults(&dialog_)) ADD_FAILURE() << fault;
}

TEST_F(DualRelayDialog, ReadsBackWhatWasFilled) {
  EXPECT_EQ(dialog_.cmbobxFwdDACGain->currentText(), "4");
  EXPECT_EQ(dialog_.cmbobxRflDACGain->currentText(), "8");
  ExpectSame(dialog_.ReadSettings(), Distinct());
  // Every Boolean turned around, so that no control passes by feeding another's field.
  MonitorSettings flipped = Distinct();
  for (bool* b : {&flipped.LatchAlarm, &flipped.AlarmAtPowerUp, &flipped.RelaySense,
                  &flipped.Relay2Sense, &flipped.VSWRAlarmEnable, &flipped.CheckOnZeroPower,
                  &flipped.HighPowerEnable, &flipped.LowPowerEnable, &flipped.PushToTalkEnable}) {
    *b = !*b;
  }
  dialog_.Fill(flipped);
  ExpectSame(dialog_.ReadSettings(), flipped);
}

TEST_F(DualRelayDialog, ChosenGainsGoToTheirBytesAndOtherDigitsPassUnchanged) {
  dialog_.cmbobxFwdDACGain->setCurrentIndex(dialog_.cmbobxFwdDACGain->findText("2"));
  dialog_.cmbobxRflDACGain->setCurrentIndex(dialog_.cmbobxRflDACGain->findText("1"));
  EXPECT_EQ(dialog_.ReadSettings().DACGains(), 0x0102);
  dialog_.cmbobxFwdDACGain->setCurrentText("3");
  EXPECT_EQ(dialog_.ReadSettings().FwdDACGain, 3);
}

TEST_F(DualRelayDialog, AGainThatIsNotOneDigitRaisesTheConversionError) {
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

TEST_F(DualRelayDialog, AnInvalidGainIsReportedOnOkAndTheDialogStaysOpenWithTheEdits) {
  dialog_.show();
  dialog_.chkbxRelay2Sense->setChecked(true);
  dialog_.cmbobxFwdDACGain->setCurrentText("x");
  {
    test::ModalWatcher boxes;
    QTest::mouseClick(dialog_.OKBtn, Qt::LeftButton);
    EXPECT_EQ(boxes.Count(), 1);
    EXPECT_EQ(boxes.Text(), "'x' is not a valid integer value");
  }
  EXPECT_TRUE(dialog_.isVisible());
  EXPECT_NE(dialog_.result(), QDialog::Accepted);
  EXPECT_TRUE(dialog_.chkbxRelay2Sense->isChecked());
  EXPECT_EQ(dialog_.cmbobxFwdDACGain->currentText(), "x");

  // Corrected, OK closes and keeps what the controls showed.
  dialog_.cmbobxFwdDACGain->setCurrentText("2");
  QTest::mouseClick(dialog_.OKBtn, Qt::LeftButton);
  EXPECT_EQ(dialog_.result(), QDialog::Accepted);
  EXPECT_TRUE(dialog_.Confirmed().Relay2Sense);
  EXPECT_EQ(dialog_.Confirmed().DACGains(), 0x0802);
}

}  // namespace
}  // namespace vemo

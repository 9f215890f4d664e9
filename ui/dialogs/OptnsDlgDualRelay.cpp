// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/dialogs/OptnsDlgDualRelay.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "monitor/ModelSupport.h"
#include "platform/Exception.h"
#include "ui/controls/AccessibleWindow.h"
#include "ui/controls/NumEdit.h"
#include "ui/controls/NumberText.h"
#include "ui/dialogs/DialogSupport.h"
#include "ui/dialogs/OptionsLayout.h"

namespace vemo {
namespace {

QCheckBox* NewCheck(const char* name, const char* caption, QWidget* parent) {
  auto* check = new QCheckBox(QDialog::tr(caption), parent);
  check->setObjectName(name);
  return check;
}

QComboBox* NewGainBox(const char* name, QWidget* parent) {
  auto* box = new QComboBox(parent);
  box->setObjectName(name);
  box->setEditable(true);
  box->setInsertPolicy(QComboBox::NoInsert);
  box->addItems({"1", "2", "4", "8"});
  box->setCurrentIndex(0);
  return box;
}

// The monitor takes each gain as one decimal digit.
uint8_t GainOf(const QComboBox* box) {
  const QString text = box->currentText();
  const int32_t gain = StrToInt(text);
  if (gain < 0 || gain > 9) {
    throw EConvertError("'" + text.toStdString() + "' is not a valid gain value");
  }
  return static_cast<uint8_t>(gain);
}

}  // namespace

TdlgOptionsDualRelay::TdlgOptionsDualRelay(QWidget* parent) : QDialog(parent) {
  setWindowTitle(tr("Pwr Monitor Options"));
  FormCreate();
}

void TdlgOptionsDualRelay::FormCreate() {
  grpbxAlarmSettings = new QGroupBox(tr("Alarm Settings"), this);
  grpbxAlarmSettings->setObjectName("grpbxAlarmSettings");
  chkbxLatchAlarm = NewCheck("chkbxLatchAlarm", "Latch Alarms", grpbxAlarmSettings);
  chkbxPwrUpAlarm = NewCheck("chkbxPwrUpAlarm", "Alarm at Pwr Up", grpbxAlarmSettings);

  grpbxVSWRAlarm = new QGroupBox(tr("VSWR Alarm"), grpbxAlarmSettings);
  grpbxVSWRAlarm->setObjectName("grpbxVSWRAlarm");
  chkbxRelaySense = NewCheck("chkbxRelaySense", "Relay Energized on Alarm", grpbxVSWRAlarm);
  chkbxAlarmEnable = NewCheck("chkbxAlarmEnable", "Enable VSWR Alarm", grpbxVSWRAlarm);
  cmbobxVSWRLevel = new QComboBox(grpbxVSWRAlarm);
  cmbobxVSWRLevel->setObjectName("cmbobxVSWRLevel");
  chkbxAlarmOnZero = NewCheck("chkbxAlarmOnZero", "Check VSWR on Zero Power", grpbxVSWRAlarm);
  auto* vswrColumn = new QVBoxLayout(grpbxVSWRAlarm);
  vswrColumn->setSpacing(2);
  vswrColumn->addWidget(chkbxRelaySense);
  vswrColumn->addWidget(chkbxAlarmEnable);
  vswrColumn->addSpacing(4);
  vswrColumn->addWidget(cmbobxVSWRLevel);
  vswrColumn->addWidget(chkbxAlarmOnZero);

  grpbxPowerAlarms = new QGroupBox(tr("Power Alarms"), grpbxAlarmSettings);
  grpbxPowerAlarms->setObjectName("grpbxPowerAlarms");
  chkbxRelay2Sense = NewCheck("chkbxRelay2Sense", "Relay Energized on Alarm", grpbxPowerAlarms);
  chkbxEnableHiPwrAlarm = NewCheck("chkbxEnableHiPwrAlarm", "Enable High Power Alarm", this);
  cardedHiPower = NewPercentEdit(this);
  cardedHiPower->setObjectName("cardedHiPower");
  lblHiPercent = new QLabel(tr("% of Full Scale"), this);
  lblHiPercent->setObjectName("lblHiPercent");
  grpbxHiPwrAlarm = NewCheckAndEditGroup("High Power Alarm", chkbxEnableHiPwrAlarm, cardedHiPower,
                                         lblHiPercent, grpbxPowerAlarms);
  grpbxHiPwrAlarm->setObjectName("grpbxHiPwrAlarm");
  chkbxLowPower = NewCheck("chkbxLowPower", "Enable Low Power Alarm", this);
  cardedLowPowerLevel = NewPercentEdit(this);
  cardedLowPowerLevel->setObjectName("cardedLowPowerLevel");
  lblLowPercent = new QLabel(tr("% of Full Scale"), this);
  lblLowPercent->setObjectName("lblLowPercent");
  grpbxLowPwrAlarm = NewCheckAndEditGroup("Low Power Alarm", chkbxLowPower, cardedLowPowerLevel,
                                          lblLowPercent, grpbxPowerAlarms);
  grpbxLowPwrAlarm->setObjectName("grpbxLowPwrAlarm");
  // The high and low groups sit indented inside "Power Alarms".
  auto* powerColumn = new QVBoxLayout(grpbxPowerAlarms);
  powerColumn->setSpacing(8);
  powerColumn->addWidget(chkbxRelay2Sense);
  for (QGroupBox* g : {grpbxHiPwrAlarm, grpbxLowPwrAlarm}) {
    auto* indent = new QHBoxLayout;
    indent->addSpacing(8);
    indent->addWidget(g);
    powerColumn->addLayout(indent);
  }

  chkbxPushToTalkEnable = NewCheck("chkbxPushToTalkEnable", "Enable Push To Talk", this);
  realedPushToTalkDelay = NewPushToTalkDelayEdit(this);
  realedPushToTalkDelay->setObjectName("realedPushToTalkDelay");
  lblPushToTalk = new QLabel(tr("Push To Talk Delay (s)"), this);
  lblPushToTalk->setObjectName("lblPushToTalk");
  grpbxPushToTalk = NewCheckAndEditGroup("Push To Talk Settings", chkbxPushToTalkEnable,
                                         realedPushToTalkDelay, lblPushToTalk, grpbxAlarmSettings);
  grpbxPushToTalk->setObjectName("grpbxPushToTalk");

  auto* settingsColumn = new QVBoxLayout(grpbxAlarmSettings);
  settingsColumn->setSpacing(8);
  auto* checks = new QVBoxLayout;
  checks->setSpacing(2);
  checks->addWidget(chkbxLatchAlarm);
  checks->addWidget(chkbxPwrUpAlarm);
  settingsColumn->addLayout(checks);
  for (QGroupBox* g : {grpbxVSWRAlarm, grpbxPowerAlarms, grpbxPushToTalk}) {
    settingsColumn->addWidget(g);
  }

  grpbxDACSettings = new QGroupBox(tr("Analog Output Gain"), this);
  grpbxDACSettings->setObjectName("grpbxDACSettings");
  cmbobxFwdDACGain = NewGainBox("cmbobxFwdDACGain", grpbxDACSettings);
  cmbobxRflDACGain = NewGainBox("cmbobxRflDACGain", grpbxDACSettings);
  lblFwdDACGain = new QLabel(tr("Fwd Channel Gain"), grpbxDACSettings);
  lblFwdDACGain->setObjectName("lblFwdDACGain");
  lblFwdDACGain->setBuddy(cmbobxFwdDACGain);
  lblRflDACGain = new QLabel(tr("Rfl Channel Gain"), grpbxDACSettings);
  lblRflDACGain->setObjectName("lblRflDACGain");
  lblRflDACGain->setBuddy(cmbobxRflDACGain);
  auto* gains = new QGridLayout(grpbxDACSettings);
  gains->addWidget(cmbobxFwdDACGain, 0, 0);
  gains->addWidget(lblFwdDACGain, 0, 1);
  gains->addWidget(cmbobxRflDACGain, 1, 0);
  gains->addWidget(lblRflDACGain, 1, 1);
  gains->setColumnStretch(2, 1);

  auto* main = new QVBoxLayout(this);
  main->setContentsMargins(6, 8, 6, 8);
  main->setSpacing(6);
  main->setSizeConstraint(QLayout::SetFixedSize);
  main->addWidget(grpbxAlarmSettings);
  main->addWidget(grpbxDACSettings);
  AddOkCancelRow(this, main, &OKBtn, &CancelBtn);
  ReserveCaptionWidth(this, main);
  connect(OKBtn, &QPushButton::clicked, this, &TdlgOptionsDualRelay::OKBtnClick);

  RebuildVSWRList();
  cmbobxVSWRLevel->setCurrentIndex(2);
}

void TdlgOptionsDualRelay::RebuildVSWRList() {
  cmbobxVSWRLevel->clear();
  for (const std::string& item : VSWRLevelItems(kMaxVSWRLevels)) {
    cmbobxVSWRLevel->addItem(QString::fromStdString(item));
  }
}

void TdlgOptionsDualRelay::SetDeviceEnabled(bool, std::string_view modelId, TDateTime) {
  const bool dualRelay = IsDualRelayModel(modelId);
  grpbxAlarmSettings->setVisible(dualRelay);
  grpbxDACSettings->setVisible(dualRelay);
  if (dualRelay) RebuildVSWRList();
  SettleLayout(this);
}

void TdlgOptionsDualRelay::Fill(const MonitorSettings& s) {
  filled_ = s;
  FillAlarmControls(AlarmControls(), s);
  chkbxRelay2Sense->setChecked(s.Relay2Sense);
  cmbobxFwdDACGain->setCurrentText(QString::number(s.FwdDACGain));
  cmbobxRflDACGain->setCurrentText(QString::number(s.RflDACGain));
}

TAlarmControls TdlgOptionsDualRelay::AlarmControls() const {
  return {chkbxLatchAlarm, chkbxPwrUpAlarm,     chkbxRelaySense,       chkbxAlarmEnable,
          cmbobxVSWRLevel, chkbxAlarmOnZero,    chkbxEnableHiPwrAlarm, cardedHiPower,
          chkbxLowPower,   cardedLowPowerLevel, chkbxPushToTalkEnable, realedPushToTalkDelay};
}

MonitorSettings TdlgOptionsDualRelay::ReadSettings() {
  MonitorSettings s = filled_;
  ReadAlarmControls(AlarmControls(), s);
  s.Relay2Sense = chkbxRelay2Sense->isChecked();
  s.FwdDACGain = GainOf(cmbobxFwdDACGain);
  s.RflDACGain = GainOf(cmbobxRflDACGain);
  return s;
}

void TdlgOptionsDualRelay::accept() {
  try {
    confirmed_ = ReadSettings();
  } catch (const std::exception& e) {
    // Reported while the dialog is still open, so that no edit is lost.
    ShowErrorMessage(this, e);
    return;
  }
  QDialog::accept();
}

void TdlgOptionsDualRelay::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  MakeAccessible(this);
  CenterOnScreen(this);
}

}  // namespace vemo

// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/dialogs/OptnsDlg.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include <optional>

#include "platform/Escaped.h"
#include "ui/controls/AccessibleWindow.h"
#include "ui/controls/NumEdit.h"
#include "ui/dialogs/DialogSupport.h"
#include "ui/dialogs/OptionsSending.h"

namespace vemo {
namespace {

QCheckBox* NewCheck(const char* name, const char* caption, QWidget* parent) {
  auto* check = new QCheckBox(QDialog::tr(caption), parent);
  check->setObjectName(name);
  return check;
}

}  // namespace

// While OK sends: hourglass, settings and buttons disabled, further OKs and closes refused.
// The session keeps the event loop running while it waits for each reply, so without this
// a second OK (or Enter) would start a second sequence inside the first and interleave
// their commands and replies.
class TdlgOptions::SendingScope {
 public:
  explicit SendingScope(TdlgOptions& dialog) : dialog_(dialog) {
    dialog_.sending_ = true;
    SetEnabled(false);
    QApplication::setOverrideCursor(Qt::WaitCursor);
  }
  ~SendingScope() {
    QApplication::restoreOverrideCursor();
    SetEnabled(true);
    dialog_.sending_ = false;
  }
  SendingScope(const SendingScope&) = delete;
  SendingScope& operator=(const SendingScope&) = delete;

 private:
  void SetEnabled(bool enabled) {
    dialog_.grpbxAlarmSettings->setEnabled(enabled);
    dialog_.OKBtn->setEnabled(enabled);
    dialog_.CancelBtn->setEnabled(enabled);
  }

  TdlgOptions& dialog_;
};

TdlgOptions::TdlgOptions(ISettingsForwarders* forwarders, QWidget* parent)
    : QDialog(parent), forwarders_(forwarders) {
  setWindowTitle(tr("Pwr Monitor Options"));
  FormCreate();
}

void TdlgOptions::FormCreate() {
  grpbxAlarmSettings = new QGroupBox(tr("Alarm Settings"), this);
  grpbxAlarmSettings->setObjectName("grpbxAlarmSettings");
  chkbxAlarmEnable = NewCheck("chkbxAlarmEnable", "Master Alarm Enable", grpbxAlarmSettings);
  chkbxRelaySense = NewCheck("chkbxRelaySense", "Relay Energized on Alarm", grpbxAlarmSettings);
  chkbxLatchAlarm = NewCheck("chkbxLatchAlarm", "Latch Alarms", grpbxAlarmSettings);
  chkbxPwrUpAlarm = NewCheck("chkbxPwrUpAlarm", "Alarm at Pwr Up", grpbxAlarmSettings);

  grpbxVSWRAlarm = new QGroupBox(tr("VSWR Alarm"), grpbxAlarmSettings);
  grpbxVSWRAlarm->setObjectName("grpbxVSWRAlarm");
  cmbobxVSWRLevel = new QComboBox(grpbxVSWRAlarm);
  cmbobxVSWRLevel->setObjectName("cmbobxVSWRLevel");
  chkbxAlarmOnZero = NewCheck("chkbxAlarmOnZero", "Check VSWR on Zero Power", grpbxVSWRAlarm);
  auto* vswrColumn = new QVBoxLayout(grpbxVSWRAlarm);
  vswrColumn->addWidget(cmbobxVSWRLevel);
  vswrColumn->addWidget(chkbxAlarmOnZero);

  chkbxEnableHiPwrAlarm = NewCheck("chkbxEnableHiPwrAlarm", "Enable High Power Alarm", this);
  cardedHiPower = NewPercentEdit(this);
  cardedHiPower->setObjectName("cardedHiPower");
  lblHiPercent = new QLabel(tr("% of Full Scale"), this);
  lblHiPercent->setObjectName("lblHiPercent");
  grpbxHiPwrAlarm = NewCheckAndEditGroup("High Power Alarm", chkbxEnableHiPwrAlarm, cardedHiPower,
                                         lblHiPercent, grpbxAlarmSettings);
  grpbxHiPwrAlarm->setObjectName("grpbxHiPwrAlarm");

  chkbxLowPower = NewCheck("chkbxLowPower", "Enable Low Power Alarm", this);
  cardedLowPowerLevel = NewPercentEdit(this);
  cardedLowPowerLevel->setObjectName("cardedLowPowerLevel");
  lblLowPercent = new QLabel(tr("% of Full Scale"), this);
  lblLowPercent->setObjectName("lblLowPercent");
  grpbxLowPwrAlarm = NewCheckAndEditGroup("Low Power Alarm", chkbxLowPower, cardedLowPowerLevel,
                                          lblLowPercent, grpbxAlarmSettings);
  grpbxLowPwrAlarm->setObjectName("grpbxLowPwrAlarm");

  chkbxPushToTalkEnable = NewCheck("chkbxPushToTalkEnable", "Enable Push To Talk", this);
  realedPushToTalkDelay = NewPushToTalkDelayEdit(this);
  realedPushToTalkDelay->setObjectName("realedPushToTalkDelay");
  lblPushToTalk = new QLabel(tr("Push To Talk Delay (s)"), this);
  lblPushToTalk->setObjectName("lblPushToTalk");
  grpbxPushToTalk = NewCheckAndEditGroup("Push To Talk Settings", chkbxPushToTalkEnable,
                                         realedPushToTalkDelay, lblPushToTalk, grpbxAlarmSettings);
  grpbxPushToTalk->setObjectName("grpbxPushToTalk");

  // The check boxes stand close together at the top; each group follows 8 below.
  settingsLayout_ = new QVBoxLayout(grpbxAlarmSettings);
  settingsLayout_->setSpacing(8);
  auto* checks = new QVBoxLayout;
  checks->setSpacing(2);
  for (QCheckBox* c : {chkbxAlarmEnable, chkbxRelaySense, chkbxLatchAlarm, chkbxPwrUpAlarm}) {
    checks->addWidget(c);
  }
  settingsLayout_->addLayout(checks);
  for (QGroupBox* g : {grpbxVSWRAlarm, grpbxHiPwrAlarm, grpbxLowPwrAlarm, grpbxPushToTalk}) {
    settingsLayout_->addWidget(g);
  }

  auto* main = new QVBoxLayout(this);
  main->setContentsMargins(6, 8, 6, 8);
  main->setSpacing(6);
  main->setSizeConstraint(QLayout::SetFixedSize);
  main->addWidget(grpbxAlarmSettings);
  AddOkCancelRow(this, main, &OKBtn, &CancelBtn);
  ReserveCaptionWidth(this, main);
  connect(OKBtn, &QPushButton::clicked, this, &TdlgOptions::OKBtnClick);

  RebuildVSWRList(6);
  cmbobxVSWRLevel->setCurrentIndex(2);
}

void TdlgOptions::RebuildVSWRList(int count) {
  cmbobxVSWRLevel->clear();
  for (const std::string& item : VSWRLevelItems(count)) {
    cmbobxVSWRLevel->addItem(QString::fromStdString(item));
  }
}

QGroupBox* TdlgOptions::GroupOf(OptionsGroup group) const {
  switch (group) {
    case OptionsGroup::VSWRAlarm:
      return grpbxVSWRAlarm;
    case OptionsGroup::HighPowerAlarm:
      return grpbxHiPwrAlarm;
    case OptionsGroup::LowPowerAlarm:
      return grpbxLowPwrAlarm;
    case OptionsGroup::PushToTalk:
      return grpbxPushToTalk;
  }
  return nullptr;
}

void TdlgOptions::SetDeviceEnabled(bool connected, std::string_view modelId,
                                   TDateTime firmwareDate) {
  for (QWidget* w : std::initializer_list<QWidget*>{
           grpbxAlarmSettings, chkbxAlarmEnable, chkbxRelaySense, chkbxLatchAlarm, chkbxPwrUpAlarm,
           grpbxVSWRAlarm, grpbxHiPwrAlarm, grpbxLowPwrAlarm, grpbxPushToTalk}) {
    w->hide();
  }
  grpbxVSWRAlarm->setEnabled(connected);
  cmbobxVSWRLevel->setEnabled(connected);
  chkbxAlarmOnZero->setEnabled(connected);

  layout_ = OptionsLayoutFor(modelId, firmwareDate);
  const OptionsLayoutContent content = ContentOf(layout_);
  RebuildVSWRList(content.vswrLevels);
  grpbxAlarmSettings->setVisible(content.alarmSettings);
  chkbxAlarmEnable->setVisible(content.masterAlarmEnable);
  chkbxRelaySense->setVisible(content.relaySense);
  chkbxLatchAlarm->setVisible(content.latchAlarms);
  chkbxPwrUpAlarm->setVisible(content.alarmAtPowerUp);
  // The groups follow the check boxes (layout item 0) in the table's order.
  int position = 1;
  for (OptionsGroup group : content.groups) {
    QGroupBox* box = GroupOf(group);
    settingsLayout_->removeWidget(box);
    settingsLayout_->insertWidget(position++, box);
    box->show();
  }
  SettleLayout(this);
}

void TdlgOptions::Fill(const MonitorSettings& s) {
  filled_ = s;
  FillAlarmControls(AlarmControls(), s);
}

TAlarmControls TdlgOptions::AlarmControls() const {
  return {chkbxLatchAlarm, chkbxPwrUpAlarm,     chkbxRelaySense,       chkbxAlarmEnable,
          cmbobxVSWRLevel, chkbxAlarmOnZero,    chkbxEnableHiPwrAlarm, cardedHiPower,
          chkbxLowPower,   cardedLowPowerLevel, chkbxPushToTalkEnable, realedPushToTalkDelay};
}

MonitorSettings TdlgOptions::ReadControls() {
  MonitorSettings s = filled_;
  ReadAlarmControls(AlarmControls(), s);
  return s;
}

void TdlgOptions::OKBtnClick() {
  if (sending_) return;
  const MonitorSettings s = ReadControls();
  std::optional<QString> failure;
  {
    SendingScope sending(*this);
    try {
      SendOptionsSettings(s, *forwarders_);
    } catch (const std::exception& e) {
      failure = QString::fromStdString(Escaped(e.what()));
    }
  }
  // Shown once the controls are back, so that the user can correct and try again.
  if (failure) {
    ShowErrorMessage(this, *failure);
    return;
  }
  accept();
}

void TdlgOptions::done(int result) {
  if (sending_) return;
  QDialog::done(result);
}

void TdlgOptions::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  MakeAccessible(this);
  CenterOnScreen(this);
}

}  // namespace vemo

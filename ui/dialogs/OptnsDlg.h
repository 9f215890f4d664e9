// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The monitor options dialog for every model but the dual-relay one: alarm enable, relay
// sense, latching, alarm at power-up, VSWR alarm level, high and low power alarms and the
// push-to-talk delay. Which of them it shows depends on the model and firmware date.
//
// Use: create once; before each showing call SetDeviceEnabled for the attached monitor and
// Fill with the settings read from it, then exec(). OK sends all nine settings through the
// forwarders and closes with QDialog::Accepted; Cancel sends nothing. While OK sends, the
// dialog's controls are disabled and a second OK or a close is ignored.

#include <QDialog>

#include <string_view>

#include "monitor/DateTime.h"
#include "monitor/MonitorSettings.h"
#include "ui/dialogs/AlarmControls.h"
#include "ui/dialogs/OptionsLayout.h"
#include "ui/dialogs/SettingsForwarders.h"

class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QPushButton;
class QVBoxLayout;

namespace vemo {

class TCardinalEdit;
class TRealEdit;

class TdlgOptions : public QDialog {
  Q_OBJECT

 public:
  // forwarders (not null) must outlive the dialog.
  explicit TdlgOptions(ISettingsForwarders* forwarders, QWidget* parent = nullptr);

  // Lays the dialog out for the attached monitor: every setting is hidden, the VSWR group
  // is enabled according to connected, the VSWR level list is rebuilt (6 or 13 levels)
  // and the layout of the model and firmware date is shown.
  void SetDeviceEnabled(bool connected, std::string_view modelId, TDateTime firmwareDate);
  OptionsLayout Layout() const { return layout_; }

  // Sets the controls from settings. Settings whose controls are hidden are still held and
  // sent back by OK unchanged.
  void Fill(const MonitorSettings& settings);

  // Sends every setting in order through the forwarders and closes with OK. A failure
  // while sending is shown and the dialog stays open; what was sent before it stays sent.
  // Ignored while a send is under way.
  void OKBtnClick();
  bool Sending() const { return sending_; }

  // Refused while OK sends: the send runs inside the dialog's showing.
  void done(int result) override;

  QGroupBox* grpbxAlarmSettings;
  QCheckBox* chkbxAlarmEnable;
  QCheckBox* chkbxRelaySense;
  QCheckBox* chkbxLatchAlarm;
  QCheckBox* chkbxPwrUpAlarm;
  QGroupBox* grpbxVSWRAlarm;
  QComboBox* cmbobxVSWRLevel;
  QCheckBox* chkbxAlarmOnZero;
  QGroupBox* grpbxHiPwrAlarm;
  QCheckBox* chkbxEnableHiPwrAlarm;
  TCardinalEdit* cardedHiPower;
  QLabel* lblHiPercent;
  QGroupBox* grpbxLowPwrAlarm;
  QCheckBox* chkbxLowPower;
  TCardinalEdit* cardedLowPowerLevel;
  QLabel* lblLowPercent;
  QGroupBox* grpbxPushToTalk;
  QCheckBox* chkbxPushToTalkEnable;
  TRealEdit* realedPushToTalkDelay;
  QLabel* lblPushToTalk;
  QPushButton* OKBtn;
  QPushButton* CancelBtn;

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  class SendingScope;

  TAlarmControls AlarmControls() const;
  void FormCreate();
  void RebuildVSWRList(int count);
  QGroupBox* GroupOf(OptionsGroup group) const;
  // The settings as the controls show them; a VSWR list with no entry selected keeps the
  // level that was read from the monitor.
  MonitorSettings ReadControls();

  ISettingsForwarders* forwarders_;
  QVBoxLayout* settingsLayout_ = nullptr;
  OptionsLayout layout_ = OptionsLayout::None;
  MonitorSettings filled_;
  bool sending_ = false;
};

}  // namespace vemo

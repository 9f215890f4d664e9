// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The calibration wizard: two known power levels per channel give the monitor's raw
// readings a straight line, from which new calibration factors and offsets are written into
// the monitor's EEPROM. It also shows and rewrites the monitor's full-scale power.

#include <QDialog>
#include <QMessageBox>

#include <array>
#include <functional>
#include <optional>

#include "ui/dialogs/CalFit.h"

class QCheckBox;
class QLabel;
class QPushButton;
class QStackedWidget;

namespace vemo {

class TCardinalEdit;
class TRealEdit;
class TVSWR_Monitor;

class TdlgCalWizard : public QDialog {
  Q_OBJECT

 public:
  // Shows one message box (icon, text, buttons offered) and returns the button chosen.
  // Texts may break lines with CR LF. Tests install their own to answer without a screen.
  using MessageBoxFn = std::function<QMessageBox::StandardButton(
      QMessageBox::Icon icon, const QString& text, QMessageBox::StandardButtons buttons)>;

  // Created once; every showing reads the monitor afresh.
  explicit TdlgCalWizard(QWidget* parent = nullptr);

  // Shows the wizard modally for the session's monitor. Returns QDialog::Accepted after
  // Finish, QDialog::Rejected after Cancel or any other closing.
  int Execute(TVSWR_Monitor& monitor);
  // Shows and activates the wizard without a modal loop: Execute's first half. The wizard
  // then runs until Finish, Cancel or closing hide it.
  void Activate(TVSWR_Monitor& monitor);

  // Replaces the message boxes; an empty function restores the real ones.
  void SetMessageBox(MessageBoxFn messageBox);

  int PageIndex() const { return pageIndex_; }

  void done(int result) override;

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  // Channel index into the per-channel working values.
  static constexpr size_t kFwd = 0;
  static constexpr size_t kRefl = 1;

  class BusyScope;

  void FormCreate();
  void FormActivate();
  void FormClose();
  void btnNextClick();
  void btnBackClick();
  void btnFinishClick();
  void btnCancelClick();
  void btnResetCalClick();
  void btnUpdateFSPowerClick();
  void CalibrationToggled(TCalChannel channel, bool checked);

  // Takes a raw reading and keeps it with the channel's corrected first power.
  void MeasureFirstPoint(TCalChannel channel);
  // Takes a raw reading at the channel's second power, fits the line and stores the result.
  void MeasureSecondPointAndFit(TCalChannel channel);
  TCalPoint MeasurePoint(TCalChannel channel, const TRealEdit& enteredPower);

  // Runs exchange with the monitor as one busy step; shows its failure and returns false.
  bool RunExchange(const std::function<void()>& exchange);
  void ShowPage(int page);
  void UpdateButtons();
  void ShowRecords();
  void FocusPageEntry();
  void ShowError(const QString& text);
  QMessageBox::StandardButton Message(QMessageBox::Icon icon, const QString& text,
                                      QMessageBox::StandardButtons buttons);

  TVSWR_Monitor* monitor_ = nullptr;
  MessageBoxFn messageBox_;

  int pageIndex_ = kPageCurrentValues;
  TCalibration old_;
  TCalibration new_;
  long double fullScale_ = 0;  // as read from the monitor, before the 0.8 shown
  bool fullScaleKnown_ = false;
  // The first point of each channel measured since the pass through the pages began.
  std::array<std::optional<TCalPoint>, 2> firstPoint_;
  bool activated_ = false;       // every reading at activation succeeded
  bool rawModeMayBeOn_ = false;  // raw mode was asked for and not yet switched off
  bool busy_ = false;            // an exchange with the monitor is running

  QStackedWidget* pages_ = nullptr;
  QWidget* pnlCurrentValues = nullptr;
  QWidget* pnlFwdPower1 = nullptr;
  QWidget* pnlFwdPower2 = nullptr;
  QWidget* pnlReflPower1 = nullptr;
  QWidget* pnlReflPower2 = nullptr;
  QWidget* PnlFinish = nullptr;

  TRealEdit* realedFSPower = nullptr;
  QPushButton* btnUpdateFSPower = nullptr;
  TRealEdit* realedFreqFactor = nullptr;
  TCardinalEdit* cardedOldFwdCal = nullptr;
  TCardinalEdit* cardedOldReflCal = nullptr;
  TCardinalEdit* cardedOldFwdOffset = nullptr;
  TCardinalEdit* cardedOldReflOffset = nullptr;
  QCheckBox* chkbxFwdCalibration = nullptr;
  QCheckBox* chkbxReflCalibration = nullptr;

  TRealEdit* realedFwdPwr1 = nullptr;
  TRealEdit* realedFwdPwr2 = nullptr;
  TRealEdit* realedReflPwr1 = nullptr;
  TRealEdit* realedReflPwr2 = nullptr;

  TCardinalEdit* cardedNewFwdCal = nullptr;
  TCardinalEdit* cardedNewReflCal = nullptr;
  TCardinalEdit* cardedNewFwdOffset = nullptr;
  TCardinalEdit* cardedNewReflOffset = nullptr;
  QPushButton* btnResetCal = nullptr;

  QWidget* buttonRow_ = nullptr;
  QPushButton* btnCancel = nullptr;
  QPushButton* btnBack = nullptr;
  QPushButton* btnNext = nullptr;
  QPushButton* btnFinish = nullptr;
};

}  // namespace vemo

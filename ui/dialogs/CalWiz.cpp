// SPDX-License-Identifier: GPL-3.0-or-later
// The calibration wizard's behaviour: activation, the page handlers, Finish and closing.
// Its pages are laid out in CalWizLayout.cpp; what it computes lives in CalFit.
#include "ui/dialogs/CalWiz.h"

#include <QApplication>
#include <QCheckBox>
#include <QPushButton>
#include <QStackedWidget>

#include <exception>

#include "monitor/VSWRMon.h"
#include "platform/Escaped.h"
#include "platform/Exception.h"
#include "ui/controls/AccessibleWindow.h"
#include "ui/controls/NumEdit.h"

namespace vemo {

namespace {

const char* const kPowerCycleText =
    "You must cycle the power to the VSWR \r\nMonitor to load the new calibration factors.";
const char* const kNotActivatedText =
    "The calibration could not be read from the monitor when the wizard opened, so nothing "
    "can be calibrated or written. Close the wizard and open it again.";
const char* const kFullScaleUnknownText =
    "The full scale power could not be read back from the monitor. Press \"Update FS Power\" "
    "again before calibrating.";

constexpr size_t Index(TCalChannel channel) {
  return channel == TCalChannel::Forward ? 0 : 1;
}

QString ChannelName(TCalChannel channel) {
  return channel == TCalChannel::Forward ? QStringLiteral("forward") : QStringLiteral("reflected");
}

// The real message box; CR LF and lone CR break lines as LF does.
QMessageBox::StandardButton ShowMessageBox(QWidget* parent, QMessageBox::Icon icon,
                                           const QString& text,
                                           QMessageBox::StandardButtons buttons) {
  QString shown = text;
  shown.replace(QStringLiteral("\r\n"), QStringLiteral("\n")).replace('\r', '\n');
  QMessageBox box(icon, QApplication::applicationDisplayName(), shown, buttons, parent);
  return static_cast<QMessageBox::StandardButton>(box.exec());
}

}  // namespace

// While the wizard talks to the monitor: hourglass cursor, and its controls disabled so that
// no click starts a second exchange inside the running one (the session keeps the event loop
// running while it waits).
class TdlgCalWizard::BusyScope {
 public:
  explicit BusyScope(TdlgCalWizard& wizard) : wizard_(wizard) {
    wizard_.busy_ = true;
    wizard_.pages_->setEnabled(false);
    wizard_.buttonRow_->setEnabled(false);
    QApplication::setOverrideCursor(Qt::WaitCursor);
  }
  ~BusyScope() {
    QApplication::restoreOverrideCursor();
    wizard_.pages_->setEnabled(true);
    wizard_.buttonRow_->setEnabled(true);
    wizard_.busy_ = false;
  }
  BusyScope(const BusyScope&) = delete;
  BusyScope& operator=(const BusyScope&) = delete;

 private:
  TdlgCalWizard& wizard_;
};

TdlgCalWizard::TdlgCalWizard(QWidget* parent) : QDialog(parent) {
  FormCreate();
}

int TdlgCalWizard::Execute(TVSWR_Monitor& monitor) {
  setWindowModality(Qt::ApplicationModal);
  Activate(monitor);
  return exec();
}

void TdlgCalWizard::Activate(TVSWR_Monitor& monitor) {
  monitor_ = &monitor;
  setResult(0);
  show();
  FormActivate();
}

void TdlgCalWizard::SetMessageBox(MessageBoxFn messageBox) {
  messageBox_ = std::move(messageBox);
}

QMessageBox::StandardButton TdlgCalWizard::Message(QMessageBox::Icon icon, const QString& text,
                                                   QMessageBox::StandardButtons buttons) {
  if (messageBox_) return messageBox_(icon, text, buttons);
  return ShowMessageBox(this, icon, text, buttons);
}

void TdlgCalWizard::ShowError(const QString& text) {
  Message(QMessageBox::Critical, text, QMessageBox::Ok);
}

bool TdlgCalWizard::RunExchange(const std::function<void()>& exchange) {
  QString failure;
  {
    BusyScope busy(*this);
    try {
      exchange();
      return true;
    } catch (const std::exception& e) {
      failure = QString::fromStdString(Escaped(e.what()));
    }
  }
  // Shown once the controls and the cursor are back.
  ShowError(failure);
  return false;
}

void TdlgCalWizard::FormActivate() {
  // Nothing of an earlier showing survives, also when a read below fails.
  activated_ = false;
  fullScaleKnown_ = false;
  fullScale_ = 0;
  old_ = new_ = TCalibration{};
  firstPoint_ = {};
  ShowPage(kPageCurrentValues);
  chkbxFwdCalibration->setChecked(true);
  chkbxReflCalibration->setChecked(true);
  ShowRecords();
  RunExchange([this] {
    std::array<uint16_t, 4> words{};
    for (uint8_t address = 0; address < words.size(); ++address)
      words[address] = monitor_->ReadEeprom(address);
    old_ = CalibrationFromWords(words);
    new_ = old_;
    ShowRecords();
    fullScale_ = monitor_->ReadFullScale();
    fullScaleKnown_ = true;
    realedFSPower->SetValue(static_cast<double>(ShownFullScale(fullScale_)));
    rawModeMayBeOn_ = true;
    monitor_->SetRawMode(true);
    realedFreqFactor->SetValue(0);
    activated_ = true;
  });
  chkbxFwdCalibration->setFocus();
}

void TdlgCalWizard::done(int result) {
  // Closing while an exchange runs would start another inside it; the close is refused.
  if (busy_) return;
  FormClose();
  ShowPage(kPageCurrentValues);
  QDialog::done(result);
}

void TdlgCalWizard::FormClose() {
  if (!rawModeMayBeOn_ || monitor_ == nullptr) return;
  RunExchange([this] {
    monitor_->SetRawMode(false);
    rawModeMayBeOn_ = false;
  });
}

void TdlgCalWizard::btnNextClick() {
  if (busy_ || pageIndex_ == kPageFinish) return;
  // On failure the page stays where it was and nothing of the step is kept.
  const bool done = RunExchange([this] {
    switch (pageIndex_) {
      case kPageCurrentValues:
        if (!activated_) throw Exception(kNotActivatedText);
        // A new pass through the pages: every point is measured again.
        firstPoint_ = {};
        break;
      case kPageFwdPower1:
        MeasureFirstPoint(TCalChannel::Forward);
        break;
      case kPageFwdPower2:
        MeasureSecondPointAndFit(TCalChannel::Forward);
        break;
      case kPageReflPower1:
        MeasureFirstPoint(TCalChannel::Reflected);
        break;
      default:
        MeasureSecondPointAndFit(TCalChannel::Reflected);
        break;
    }
  });
  if (!done) return;
  ShowPage(
      NextPage(pageIndex_, chkbxFwdCalibration->isChecked(), chkbxReflCalibration->isChecked()));
  FocusPageEntry();
}

TCalPoint TdlgCalWizard::MeasurePoint(TCalChannel channel, const TRealEdit& enteredPower) {
  TMonitorReading reading;
  monitor_->GetReading(reading);
  if (!reading.RawMode) {
    // Calibrated numbers would fit a wrong line: bring the monitor back to raw mode.
    monitor_->SetRawMode(true);
    monitor_->GetReading(reading);
    if (!reading.RawMode)
      throw Exception("The monitor did not switch to raw readings; nothing was measured.");
  }
  const float raw = channel == TCalChannel::Forward ? reading.Forward : reading.Reflected;
  return TCalPoint{raw, CorrectedPower(enteredPower.Value(), realedFreqFactor->Value())};
}

void TdlgCalWizard::MeasureFirstPoint(TCalChannel channel) {
  const TRealEdit& entry = channel == TCalChannel::Forward ? *realedFwdPwr1 : *realedReflPwr1;
  firstPoint_[Index(channel)] = MeasurePoint(channel, entry);
}

void TdlgCalWizard::MeasureSecondPointAndFit(TCalChannel channel) {
  const std::optional<TCalPoint>& first = firstPoint_[Index(channel)];
  if (!first) {
    throw Exception(
        QStringLiteral("The first %1 power level has not been measured yet. Go back to it and "
                       "press Next.")
            .arg(ChannelName(channel))
            .toStdString());
  }
  if (!fullScaleKnown_) throw Exception(kFullScaleUnknownText);
  const TRealEdit& entry = channel == TCalChannel::Forward ? *realedFwdPwr2 : *realedReflPwr2;
  const TCalPoint second = MeasurePoint(channel, entry);
  StoreFit(new_, channel, FitChannel(channel, *first, second, fullScale_));
  ShowRecords();
}

void TdlgCalWizard::btnBackClick() {
  if (busy_ || pageIndex_ == kPageCurrentValues) return;
  // The first power may be changed before the page is passed again: measure it anew then.
  if (pageIndex_ == kPageFwdPower1) firstPoint_[kFwd].reset();
  if (pageIndex_ == kPageReflPower1) firstPoint_[kRefl].reset();
  ShowPage(
      BackPage(pageIndex_, chkbxFwdCalibration->isChecked(), chkbxReflCalibration->isChecked()));
  FocusPageEntry();
}

void TdlgCalWizard::btnFinishClick() {
  if (busy_) return;
  const bool written = RunExchange([this] {
    if (chkbxFwdCalibration->isChecked() || chkbxReflCalibration->isChecked()) {
      if (!activated_) throw Exception(kNotActivatedText);
      for (const TEepromWrite& write : CalibrationWrites(new_))
        monitor_->WriteEeprom(write.Address, write.Value);
    }
    monitor_->SetRawMode(false);
    rawModeMayBeOn_ = false;
  });
  if (!written) return;
  ShowPage(kPageCurrentValues);
  Message(QMessageBox::Information, QString::fromLatin1(kPowerCycleText), QMessageBox::Ok);
  accept();
}

void TdlgCalWizard::btnCancelClick() {
  if (busy_) return;
  ShowPage(kPageCurrentValues);
  reject();
}

void TdlgCalWizard::btnResetCalClick() {
  if (busy_) return;
  chkbxFwdCalibration->setChecked(true);
  chkbxReflCalibration->setChecked(true);
  new_ = ResetCalibration();
  ShowRecords();
}

void TdlgCalWizard::btnUpdateFSPowerClick() {
  if (busy_ || monitor_ == nullptr) return;
  const auto readBack = [this] {
    fullScale_ = monitor_->ReadFullScale();
    fullScaleKnown_ = true;
    realedFSPower->SetValue(static_cast<double>(ShownFullScale(fullScale_)));
  };
  RunExchange([this, &readBack] {
    // Until the monitor confirms the full scale, no factor is computed from either value.
    fullScaleKnown_ = false;
    try {
      monitor_->SetFullScale(static_cast<double>(realedFSPower->Value()));
      readBack();
    } catch (const std::exception&) {
      // Show what the monitor holds now, whether or not the new value reached it; the
      // first failure is the one reported.
      try {
        readBack();
      } catch (const std::exception&) {
      }
      throw;
    }
  });
}

void TdlgCalWizard::CalibrationToggled(TCalChannel channel, bool checked) {
  // A channel that is not calibrated keeps the values the monitor has.
  if (checked) return;
  CopyChannel(new_, old_, channel);
  ShowRecords();
}

void TdlgCalWizard::ShowPage(int page) {
  pageIndex_ = page;
  pages_->setCurrentIndex(page);
  UpdateButtons();
  // Tab goes through the page on show, then the buttons.
  if (isVisible()) MakeAccessible(this);
}

void TdlgCalWizard::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  MakeAccessible(this);
}

void TdlgCalWizard::UpdateButtons() {
  btnBack->setEnabled(pageIndex_ != kPageCurrentValues);
  btnNext->setEnabled(pageIndex_ != kPageFinish);
  btnFinish->setEnabled(pageIndex_ == kPageFinish);
}

void TdlgCalWizard::ShowRecords() {
  // Each box shows the word the monitor holds or will hold (a negative offset as its
  // two's complement), so what is shown is what Finish writes and a later showing reads.
  const auto show = [](TCardinalEdit* box, int32_t value) {
    box->SetValue(static_cast<uint16_t>(static_cast<uint32_t>(value)));
  };
  show(cardedOldFwdCal, old_.FwdCalFactor);
  show(cardedOldReflCal, old_.ReflCalFactor);
  show(cardedOldFwdOffset, old_.FwdOffset);
  show(cardedOldReflOffset, old_.ReflOffset);
  show(cardedNewFwdCal, new_.FwdCalFactor);
  show(cardedNewReflCal, new_.ReflCalFactor);
  show(cardedNewFwdOffset, new_.FwdOffset);
  show(cardedNewReflOffset, new_.ReflOffset);
}

void TdlgCalWizard::FocusPageEntry() {
  switch (pageIndex_) {
    case kPageCurrentValues:
      chkbxFwdCalibration->setFocus();
      break;
    case kPageFwdPower1:
      realedFwdPwr1->setFocus();
      break;
    case kPageFwdPower2:
      realedFwdPwr2->setFocus();
      break;
    case kPageReflPower1:
      realedReflPwr1->setFocus();
      break;
    case kPageReflPower2:
      realedReflPwr2->setFocus();
      break;
    default:
      btnFinish->setFocus();
      break;
  }
}

}  // namespace vemo

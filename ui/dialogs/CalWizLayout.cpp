// SPDX-License-Identifier: GPL-3.0-or-later
// The calibration wizard's six stacked pages and its button row.
#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QStackedWidget>
#include <QVBoxLayout>

#include "ui/controls/NumEdit.h"
#include "ui/dialogs/CalWiz.h"

namespace vemo {

namespace {

template <typename Widget>
Widget* Named(Widget* widget, const char* name) {
  widget->setObjectName(QString::fromLatin1(name));
  return widget;
}

QWidget* Page(QStackedWidget* pages, const char* name) {
  auto* page = Named(new QWidget(pages), name);
  pages->addWidget(page);
  return page;
}

// The eight factor and offset boxes only display. They stand in a table under row and
// column captions, so a screen reader, which finds no single label, gets both.
TCardinalEdit* DisplayBox(QWidget* parent, const char* name, const QString& spoken) {
  auto* box = Named(new TCardinalEdit(parent), name);
  box->setAccessibleName(spoken);
  box->setReadOnly(true);
  box->setFocusPolicy(Qt::NoFocus);
  return box;
}

// An entry followed by its unit.
QHBoxLayout* WithUnit(QWidget* entry, const QString& unit) {
  auto* row = new QHBoxLayout;
  row->addWidget(entry, 1);
  row->addWidget(new QLabel(unit, entry->parentWidget()));
  return row;
}

// A page that asks for one power level: its prompt, the entry and the unit.
TRealEdit* PowerPage(QWidget* page, const QString& prompt, const char* entryName) {
  auto* layout = new QGridLayout(page);
  auto* entry = Named(new TRealEdit(page), entryName);
  auto* label = new QLabel(prompt, page);
  label->setBuddy(entry);
  layout->addWidget(label, 0, 0, 1, 2);
  layout->addLayout(WithUnit(entry, QStringLiteral("W")), 1, 0);
  layout->setColumnStretch(1, 1);
  layout->setRowStretch(2, 1);
  return entry;
}

}  // namespace

void TdlgCalWizard::FormCreate() {
  setWindowTitle(QStringLiteral("Calibration Wizard"));
  setSizeGripEnabled(false);

  pages_ = new QStackedWidget(this);

  // Page 0: what the monitor holds now, and what to calibrate.
  pnlCurrentValues = Page(pages_, "pnlCurrentValues");
  {
    auto* grid = new QGridLayout(pnlCurrentValues);
    realedFSPower = Named(new TRealEdit(pnlCurrentValues), "realedFSPower");
    btnUpdateFSPower = Named(new QPushButton(QStringLiteral("Update FS Power"), pnlCurrentValues),
                             "btnUpdateFSPower");
    realedFreqFactor = Named(new TRealEdit(pnlCurrentValues), "realedFreqFactor");
    realedFreqFactor->SetFormatString(QStringLiteral("0.00"));
    cardedOldFwdCal = DisplayBox(pnlCurrentValues, "cardedOldFwdCal",
                                 QStringLiteral("Forward channel cal factor"));
    cardedOldReflCal = DisplayBox(pnlCurrentValues, "cardedOldReflCal",
                                  QStringLiteral("Reflected channel cal factor"));
    cardedOldFwdOffset = DisplayBox(pnlCurrentValues, "cardedOldFwdOffset",
                                    QStringLiteral("Forward channel offset"));
    cardedOldReflOffset = DisplayBox(pnlCurrentValues, "cardedOldReflOffset",
                                     QStringLiteral("Reflected channel offset"));

    auto* fsLabel = new QLabel(QStringLiteral("Full Scale Power"), pnlCurrentValues);
    fsLabel->setBuddy(realedFSPower);
    auto* freqLabel = new QLabel(QStringLiteral("Frequency Compensation Factor"), pnlCurrentValues);
    freqLabel->setBuddy(realedFreqFactor);
    grid->addWidget(fsLabel, 0, 0);
    grid->addLayout(WithUnit(realedFSPower, QStringLiteral("W")), 0, 1);
    grid->addWidget(btnUpdateFSPower, 0, 2);
    grid->addWidget(freqLabel, 1, 0);
    grid->addLayout(WithUnit(realedFreqFactor, QStringLiteral("%")), 1, 1);
    grid->addWidget(new QLabel(QStringLiteral("Forward"), pnlCurrentValues), 2, 1);
    grid->addWidget(new QLabel(QStringLiteral("Reflected"), pnlCurrentValues), 2, 2);
    grid->addWidget(new QLabel(QStringLiteral("Channel Cal Factor"), pnlCurrentValues), 3, 0);
    grid->addWidget(cardedOldFwdCal, 3, 1);
    grid->addWidget(cardedOldReflCal, 3, 2);
    grid->addWidget(new QLabel(QStringLiteral("Channel Offset"), pnlCurrentValues), 4, 0);
    grid->addWidget(cardedOldFwdOffset, 4, 1);
    grid->addWidget(cardedOldReflOffset, 4, 2);

    auto* grpbxCalibrations =
        Named(new QGroupBox(QStringLiteral("Calibrations to Perform"), pnlCurrentValues),
              "grpbxCalibrations");
    chkbxFwdCalibration =
        Named(new QCheckBox(QStringLiteral("Forward Channel Calibration"), grpbxCalibrations),
              "chkbxFwdCalibration");
    chkbxReflCalibration =
        Named(new QCheckBox(QStringLiteral("Relfected Channel Calibration"), grpbxCalibrations),
              "chkbxReflCalibration");
    auto* checks = new QVBoxLayout(grpbxCalibrations);
    checks->addWidget(chkbxFwdCalibration);
    checks->addWidget(chkbxReflCalibration);
    grid->addWidget(grpbxCalibrations, 5, 0, 1, 3);
    grid->setRowStretch(6, 1);
  }

  // Pages 1..4: the two power levels of each channel.
  pnlFwdPower1 = Page(pages_, "pnlFwdPower1");
  realedFwdPwr1 = PowerPage(pnlFwdPower1, QStringLiteral("Set First Forward Power Level in Watts"),
                            "realedFwdPwr1");
  pnlFwdPower2 = Page(pages_, "pnlFwdPower2");
  realedFwdPwr2 = PowerPage(pnlFwdPower2, QStringLiteral("Set Second Forward Power Level in Watts"),
                            "realedFwdPwr2");
  pnlReflPower1 = Page(pages_, "pnlReflPower1");
  realedReflPwr1 = PowerPage(
      pnlReflPower1, QStringLiteral("Set First Reflected Power Level in Watts"), "realedReflPwr1");
  pnlReflPower2 = Page(pages_, "pnlReflPower2");
  realedReflPwr2 = PowerPage(
      pnlReflPower2, QStringLiteral("Set Second Reflected Power Level in Watts"), "realedReflPwr2");

  // Page 5: the new values that Finish writes.
  PnlFinish = Page(pages_, "PnlFinish");
  {
    auto* grid = new QGridLayout(PnlFinish);
    cardedNewFwdCal =
        DisplayBox(PnlFinish, "cardedNewFwdCal", QStringLiteral("New forward channel cal factor"));
    cardedNewReflCal = DisplayBox(PnlFinish, "cardedNewReflCal",
                                  QStringLiteral("New reflected channel cal factor"));
    cardedNewFwdOffset =
        DisplayBox(PnlFinish, "cardedNewFwdOffset", QStringLiteral("New forward channel offset"));
    cardedNewReflOffset = DisplayBox(PnlFinish, "cardedNewReflOffset",
                                     QStringLiteral("New reflected channel offset"));
    btnResetCal =
        Named(new QPushButton(QStringLiteral("Reset Cal Factors"), PnlFinish), "btnResetCal");
    grid->addWidget(new QLabel(QStringLiteral("Forward/Reflected Channel Cal Factors"), PnlFinish),
                    0, 0, 1, 2);
    grid->addWidget(cardedNewFwdCal, 1, 0);
    grid->addWidget(cardedNewReflCal, 1, 1);
    grid->addWidget(new QLabel(QStringLiteral("Forward/Reflected Channel Offsets"), PnlFinish), 2,
                    0, 1, 2);
    grid->addWidget(cardedNewFwdOffset, 3, 0);
    grid->addWidget(cardedNewReflOffset, 3, 1);
    grid->addWidget(btnResetCal, 4, 0);
    grid->setColumnStretch(2, 1);
    grid->setRowStretch(5, 1);
  }

  buttonRow_ = new QWidget(this);
  btnCancel = Named(new QPushButton(QStringLiteral("Cancel"), buttonRow_), "btnCancel");
  btnBack = Named(new QPushButton(QStringLiteral("Back"), buttonRow_), "btnBack");
  btnNext = Named(new QPushButton(QStringLiteral("Next"), buttonRow_), "btnNext");
  btnFinish = Named(new QPushButton(QStringLiteral("Finish"), buttonRow_), "btnFinish");
  auto* row = new QHBoxLayout(buttonRow_);
  row->setContentsMargins(0, 0, 0, 0);
  row->addStretch(1);
  for (QPushButton* button : {btnCancel, btnBack, btnNext, btnFinish}) {
    button->setAutoDefault(false);
    row->addWidget(button);
  }
  // Enter presses Next; on the last page, where Next is disabled, it writes nothing.
  btnNext->setDefault(true);

  // The pages fill the form but a 2-pixel margin; the buttons sit below them.
  auto* form = new QVBoxLayout(this);
  form->setContentsMargins(2, 2, 2, 8);
  form->addWidget(pages_, 1);
  auto* buttons = new QHBoxLayout;
  buttons->setContentsMargins(8, 0, 8, 0);
  buttons->addWidget(buttonRow_);
  form->addLayout(buttons);
  resize(440, 340);

  connect(btnNext, &QPushButton::clicked, this, &TdlgCalWizard::btnNextClick);
  connect(btnBack, &QPushButton::clicked, this, &TdlgCalWizard::btnBackClick);
  connect(btnFinish, &QPushButton::clicked, this, &TdlgCalWizard::btnFinishClick);
  connect(btnCancel, &QPushButton::clicked, this, &TdlgCalWizard::btnCancelClick);
  connect(btnResetCal, &QPushButton::clicked, this, &TdlgCalWizard::btnResetCalClick);
  connect(btnUpdateFSPower, &QPushButton::clicked, this, &TdlgCalWizard::btnUpdateFSPowerClick);
  connect(chkbxFwdCalibration, &QCheckBox::toggled, this,
          [this](bool checked) { CalibrationToggled(TCalChannel::Forward, checked); });
  connect(chkbxReflCalibration, &QCheckBox::toggled, this,
          [this](bool checked) { CalibrationToggled(TCalChannel::Reflected, checked); });

  ShowPage(kPageCurrentValues);
}

}  // namespace vemo

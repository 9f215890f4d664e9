// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/report/ReportDialog.h"

#include <QComboBox>
#include <QDateEdit>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QPushButton>

namespace vemo {

ReportDialog::ReportDialog(QDate today, QWidget* parent) : QDialog(parent) {
  setWindowTitle(tr("Report"));
  auto* form = new QFormLayout(this);
  auto* intro = new QLabel(
      tr("Time on the air and keyed, forward power and VSWR, time above the VSWR limit and "
         "the alarms of one day or week of the stored history, saved as HTML or PDF."),
      this);
  intro->setWordWrap(true);
  form->addRow(intro);
  span_ = new QComboBox(this);
  span_->addItem(tr("Day"));
  span_->addItem(tr("Week (Monday to Sunday)"));
  form->addRow(tr("&Period:"), span_);
  date_ = new QDateEdit(today.addDays(-1), this);
  date_->setCalendarPopup(true);
  date_->setDisplayFormat(QStringLiteral("yyyy-MM-dd"));
  date_->setMaximumDate(today);
  form->addRow(tr("&Day (or a day of the week):"), date_);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Save | QDialogButtonBox::Cancel, this);
  buttons->button(QDialogButtonBox::Save)->setText(tr("&Save…"));
  form->addRow(buttons);
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
}

TReportPeriod ReportDialog::Period() const {
  return ReportPeriodOf(span_->currentIndex() == 0 ? ReportSpan::Day : ReportSpan::Week,
                        date_->date(), QTimeZone::systemTimeZone());
}

}  // namespace vemo

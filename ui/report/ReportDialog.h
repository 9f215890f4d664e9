// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// File, "Report…": a day or an ISO week of the stored history, and where to save it.

#include "store/Report.h"

#include <QDialog>

class QComboBox;
class QDateEdit;

namespace vemo {

class ReportDialog : public QDialog {
  Q_OBJECT

 public:
  // today: the day the choice starts from (the report of yesterday is offered).
  ReportDialog(QDate today, QWidget* parent = nullptr);

  // The period chosen, in local time.
  TReportPeriod Period() const;

 private:
  QComboBox* span_;
  QDateEdit* date_;
};

}  // namespace vemo

// SPDX-License-Identifier: GPL-3.0-or-later
// File, "Report…": a day or week of the stored history as HTML or PDF.
#include "ui/main/Main.h"

#include "platform/SettingsPath.h"
#include "store/Report.h"
#include "store/Sqlite.h"
#include "ui/alarms/OperatorAlarms.h"
#include "ui/report/ReportDialog.h"
#include "ui/report/ReportFile.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>

namespace vemo {

namespace {
// The program watches one monitor; its history is VemoSWR.sqlite.
const QString kReportName = QStringLiteral("VemoSWR");
}  // namespace

void TFormMain::mnuFileReportClick() {
  ReportDialog dialog(QDate::currentDate(), this);
  if (dialog.exec() != QDialog::Accepted) return;
  const TReportPeriod period = dialog.Period();
  const QString pdfFilter = tr("PDF (*.pdf)");
  QString filter;
  QString path = QFileDialog::getSaveFileName(
      this, tr("Save Report"), QDir::home().filePath(ReportFileName(kReportName, period)),
      tr("HTML (*.html)") + QStringLiteral(";;") + pdfFilter, &filter);
  if (path.isEmpty()) return;
  if (QFileInfo(path).suffix().isEmpty())
    path += filter == pdfFilter ? QStringLiteral(".pdf") : QStringLiteral(".html");
  SaveReportAs(period, path);
}

void TFormMain::SaveReportAs(const TReportPeriod& period, const QString& path) {
  const TAlarmLevels levels = alarms_ ? alarms_->Evaluator().Levels() : TAlarmLevels{};
  TReport report;
  bool read = false;
  try {
    read = Store_ && Store_->Read([&](SqliteDb& db) {
      report = RenderReport(kReportName, period, levels, GatherReport(db, period, levels), NowMs());
    });
  } catch (const StoreError& e) {
    ShowMessage(tr("The stored history could not be read: %1. No report was saved.")
                    .arg(QString::fromStdString(e.what())));
    return;
  }
  if (!read) {
    ShowMessage(tr("No history is stored on this computer (%1), so there is nothing to report.")
                    .arg(storeProblem_.isEmpty() ? QString::fromStdString(DataFolderPath())
                                                 : storeProblem_));
    return;
  }
  QString error;
  if (!SaveReport(report, path, error)) ShowMessage(error);
}

}  // namespace vemo

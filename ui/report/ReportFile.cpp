// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/report/ReportFile.h"

#include <QFileInfo>
#include <QImage>
#include <QPdfWriter>
#include <QSaveFile>
#include <QTextDocument>
#include <QUrl>

namespace vemo {

namespace {

// Into a file written aside and put in place at the end, so that a failure leaves an
// earlier file as it was and is seen (a printer says nothing of a file it could not open).
bool SavePdf(const TReport& report, const QString& path, QString& error) {
  QSaveFile file(path);
  if (!file.open(QIODevice::WriteOnly)) {
    error = file.errorString();
    return false;
  }
  {
    QPdfWriter pdf(&file);
    pdf.setPageSize(QPageSize(QPageSize::A4));
    pdf.setPageMargins(QMarginsF(15, 15, 15, 15), QPageLayout::Millimeter);
    pdf.setTitle(QFileInfo(path).completeBaseName());
    pdf.setCreator(QStringLiteral("VemoSWR"));
    QTextDocument document;
    // The picture is inside the HTML as a data: URI, which the document does not load.
    if (!report.PictureUri.isEmpty())
      document.addResource(QTextDocument::ImageResource, QUrl(report.PictureUri),
                           QImage::fromData(report.Picture, "PNG"));
    document.setHtml(report.Html);
    document.print(&pdf);
  }
  if (!file.commit()) {
    error = file.errorString();
    return false;
  }
  return true;
}

}  // namespace

bool SaveReport(const TReport& report, const QString& path, QString& error) {
  bool ok = false;
  if (QFileInfo(path).suffix().compare(QLatin1String("pdf"), Qt::CaseInsensitive) == 0) {
    ok = SavePdf(report, path, error);
  } else {
    QSaveFile file(path);
    const QByteArray html = report.Html.toUtf8();
    ok = file.open(QIODevice::WriteOnly) && file.write(html) == html.size() && file.commit();
    if (!ok) error = file.errorString();
  }
  if (!ok)
    error = QStringLiteral(
                "The report could not be saved as %1: %2. Choose a folder you can "
                "write to.")
                .arg(path, error);
  return ok;
}

}  // namespace vemo

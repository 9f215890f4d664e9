// SPDX-License-Identifier: GPL-3.0-or-later
// A report saved as HTML and as PDF (the window's test saves one where it cannot).
#include "ui/report/ReportFile.h"

#include "tests/platform/TempDir.h"

#include <QFile>
#include <QImage>

#include <gtest/gtest.h>

namespace vemo {
namespace {

TReport AReport() {
  TReportFigures f;
  THistoryReading r{.Forward = 100, .Reflected = 2, .VSWR = 1.33f};
  f.Summary.Add(r);
  f.Trend.assign(288, {});
  f.Trend[10].Add(r);
  f.Alarms.push_back({.Source = "vswr", .StartMs = 1000, .EndMs = 2000});
  const TReportPeriod p = ReportPeriodOf(ReportSpan::Day, {2026, 12, 7}, QTimeZone::utc());
  return RenderReport("tx", p, {.VSWRAbove = 2}, f, p.EndMs);
}

QByteArray Read(const std::string& path) {
  QFile f(QString::fromStdString(path));
  return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

TEST(ReportFile, SavesHtmlOrPdfByTheNamesEnding) {
  test::TempDir dir;
  const TReport report = AReport();
  ASSERT_FALSE(QImage::fromData(report.Picture, "PNG").isNull());
  QString error;
  ASSERT_TRUE(SaveReport(report, QString::fromStdString(dir / "r.html"), error))
      << error.toStdString();
  EXPECT_EQ(Read(dir / "r.html"), report.Html.toUtf8());
  ASSERT_TRUE(SaveReport(report, QString::fromStdString(dir / "r.PDF"), error))
      << error.toStdString();
  const QByteArray pdf = Read(dir / "r.PDF");
  EXPECT_TRUE(pdf.startsWith("%PDF-"));
  // The picture went in: a page of text alone is far smaller.
  EXPECT_TRUE(pdf.contains("/Subtype /Image"));
}

}  // namespace
}  // namespace vemo

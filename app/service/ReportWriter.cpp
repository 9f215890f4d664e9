// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/service/ReportWriter.h"

#include "app/service/ServiceLog.h"
#include "store/HistoryQueries.h"
#include "store/Sqlite.h"

#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSaveFile>

#include <chrono>

namespace vemo::service {

namespace {

// After midnight, the readings of the day's last second reach the database first.
constexpr qint64 kAfterMidnightMs = 2 * 60'000;

qint64 NextRunMs(qint64 nowMs) {
  const QTimeZone zone = QTimeZone::systemTimeZone();
  const QDate today = QDateTime::fromMSecsSinceEpoch(nowMs, zone).date();
  qint64 next = today.startOfDay(zone).toMSecsSinceEpoch() + kAfterMidnightMs;
  if (next <= nowMs)
    next = today.addDays(1).startOfDay(zone).toMSecsSinceEpoch() + kAfterMidnightMs;
  return next;
}

}  // namespace

ReportWriter::ReportWriter(QString dir, std::vector<TReportSource> sources)
    : dir_(std::move(dir)), sources_(std::move(sources)), thread_([this] { Run(); }) {}

ReportWriter::~ReportWriter() {
  {
    std::lock_guard lock(lock_);
    stop_ = true;
  }
  wake_.notify_one();
  thread_.join();
}

void ReportWriter::Run() {
  std::unique_lock lock(lock_);
  while (!stop_) {
    const qint64 now = QDateTime::currentMSecsSinceEpoch();
    lock.unlock();
    WriteDue(now);
    lock.lock();
    // Waits on the wall clock, so that a suspended machine or a changed clock still
    // finds its midnight.
    const auto due =
        std::chrono::system_clock::time_point(std::chrono::milliseconds(NextRunMs(now)));
    wake_.wait_until(lock, due, [&] { return stop_ || std::chrono::system_clock::now() >= due; });
  }
}

void ReportWriter::WriteDue(qint64 nowMs) {
  const QTimeZone zone = QTimeZone::systemTimeZone();
  for (const TReportSource& s : sources_)
    for (const ReportSpan span : {ReportSpan::Day, ReportSpan::Week}) {
      const TReportPeriod period = PreviousReportPeriod(span, nowMs, zone);
      if (!QFileInfo::exists(dir_ + QLatin1Char('/') + ReportFileName(s.Monitor, period)))
        Write(s, period, nowMs);
    }
}

void ReportWriter::Write(const TReportSource& source, const TReportPeriod& period, qint64 nowMs) {
  const std::string what = "report " + ReportFileName(source.Monitor, period).toStdString();
  if (!QFileInfo::exists(QString::fromStdString(source.Database))) return;
  TReport report;
  try {
    SqliteDb db(source.Database, SqliteDb::Mode::ReadOnly);
    // Nothing to say of a time before the history began.
    const qint64 oldest = OldestStoredMs(db);
    if (oldest == 0 || oldest >= period.EndMs) return;
    report = RenderReport(source.Monitor, period, source.Levels,
                          GatherReport(db, period, source.Levels), nowMs);
  } catch (const StoreError& e) {
    LogLine("warning", what + ": cannot read the history: " + e.what());
    return;
  }
  QSaveFile file(dir_ + QLatin1Char('/') + ReportFileName(source.Monitor, period));
  const QByteArray html = report.Html.toUtf8();
  if (!QDir().mkpath(dir_) || !file.open(QIODevice::WriteOnly) || file.write(html) != html.size() ||
      !file.commit()) {
    LogLine("warning", what + ": cannot write it in " + dir_.toStdString() + ": " +
                           file.errorString().toStdString() + "; check the folder (ReportDir)");
    return;
  }
  LogLine("info", what + " written");
}

QString LatestReport(const QString& dir, const QString& monitor, ReportSpan span) {
  const QString period = span == ReportSpan::Day ? QStringLiteral("\\d{4}-\\d{2}-\\d{2}")
                                                 : QStringLiteral("\\d{4}-W\\d{2}");
  const QRegularExpression name(QStringLiteral("^") + QRegularExpression::escape(monitor) +
                                QStringLiteral("-") + period + QStringLiteral("\\.html$"));
  QString latest;
  // The periods' labels sort as their times do.
  for (const QString& f : QDir(dir).entryList({monitor + QStringLiteral("-*.html")}, QDir::Files))
    if (name.match(f).hasMatch() && f > latest) latest = f;
  return latest.isEmpty() ? QString() : dir + QLatin1Char('/') + latest;
}

}  // namespace vemo::service

// SPDX-License-Identifier: GPL-3.0-or-later
#include "station/ReadingLog.h"

#include "station/ReadingCsv.h"

#include <QDateTime>

namespace vemo {

ReadingLog::ReadingLog(std::string path, bool daily, Notify notify)
    : path_(std::move(path)),
      daily_(daily),
      file_(kReadingLogCsvHeader, "reading", "readings", std::move(notify)) {}

std::string ReadingLog::FileFor(qint64 timeMs) const {
  if (!daily_) return path_;
  std::string base = path_;
  if (base.size() >= 4 && QString::fromStdString(base.substr(base.size() - 4))
                                  .compare(QLatin1String(".csv"), Qt::CaseInsensitive) == 0)
    base.resize(base.size() - 4);
  const QDate day = QDateTime::fromMSecsSinceEpoch(timeMs).date();
  return base + '-' + day.toString(u"yyyy-MM-dd").toStdString() + ".csv";
}

bool ReadingLog::Write(qint64 timeMs, const TMonitorReading& reading, const TReadingMarks& marks) {
  return file_.Write(FileFor(timeMs), [&](const std::string& fileHeader) {
    // Scripts made for a file's first lines must be able to read all of it.
    return fileHeader == kReadingCsvHeader ? ReadingCsvRow(timeMs, reading)
                                           : ReadingLogCsvRow(timeMs, reading, marks);
  });
}

}  // namespace vemo

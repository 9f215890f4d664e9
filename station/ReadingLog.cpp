// SPDX-License-Identifier: GPL-3.0-or-later
#include "station/ReadingLog.h"

#include "monitor/VSWRMon.h"
#include "station/ReadingCsv.h"

#include <QDateTime>

namespace vemo {

ReadingLog::ReadingLog(std::string path, bool daily, Notify notify, bool rig)
    : path_(std::move(path)),
      daily_(daily),
      file_(std::string(kReadingLogCsvHeader) + (rig ? kReadingCsvRigColumns : ""), "reading",
            "readings", std::move(notify)) {}

std::string ReadingLog::FileFor(qint64 timeMs) const {
  if (!daily_) return path_;
  std::string base = path_;
  if (base.size() >= 4 && QString::fromStdString(base.substr(base.size() - 4))
                                  .compare(QLatin1String(".csv"), Qt::CaseInsensitive) == 0)
    base.resize(base.size() - 4);
  const QDate day = QDateTime::fromMSecsSinceEpoch(timeMs).date();
  return base + '-' + day.toString(u"yyyy-MM-dd").toStdString() + ".csv";
}

bool ReadingLog::Write(qint64 timeMs, const TMonitorReading& reading, const TReadingMarks& marks,
                       const TReadingPlace* place) {
  return file_.Write(FileFor(timeMs), [&](const std::string& fileHeader) {
    // Scripts made for a file's first lines must be able to read all of it.
    if (fileHeader == kReadingCsvHeader) return ReadingCsvRow(timeMs, reading);
    std::string row = ReadingLogCsvRow(timeMs, reading, marks);
    if (fileHeader.ends_with(kReadingCsvRigColumns))
      row += ReadingCsvRigFields(place ? *place
                                       : TReadingPlace{0, {}, reading.Forward, reading.Reflected});
    return row;
  });
}

}  // namespace vemo

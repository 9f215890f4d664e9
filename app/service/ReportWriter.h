// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The service's daily and weekly reports: written shortly after local midnight (the week's
// on Monday) into a folder, one file per monitor and period, on a thread of their own so
// that polling never waits for them. A report missing when the service starts (it was not
// running at midnight) is written at once, for a period the history reaches.

#include "station/AlarmEvaluator.h"
#include "store/Report.h"

#include <QString>

#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace vemo::service {

struct TReportSource {
  QString Monitor;
  std::string Database;
  TAlarmLevels Levels;
};

class ReportWriter {
 public:
  ReportWriter(QString dir, std::vector<TReportSource> sources);
  ~ReportWriter();
  ReportWriter(const ReportWriter&) = delete;
  ReportWriter& operator=(const ReportWriter&) = delete;

 private:
  void Run();
  void WriteDue(qint64 nowMs);
  void Write(const TReportSource& source, const TReportPeriod& period, qint64 nowMs);

  const QString dir_;
  const std::vector<TReportSource> sources_;
  std::mutex lock_;
  std::condition_variable wake_;
  bool stop_ = false;
  std::thread thread_;
};

// The path of the newest report of monitor in dir; empty when there is none.
QString LatestReport(const QString& dir, const QString& monitor, ReportSpan span);

}  // namespace vemo::service

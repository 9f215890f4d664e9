// SPDX-License-Identifier: GPL-3.0-or-later
// The service's reports on a real stored history in a scratch folder.
#include "app/service/ReportWriter.h"

#include "monitor/VSWRMon.h"
#include "store/HistoryStore.h"
#include "tests/platform/TempDir.h"

#include <QDateTime>
#include <QFile>
#include <QFileInfo>

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

namespace vemo::service {
namespace {

TEST(ReportWriter, AReportMissingAtTheStartIsWrittenAtOnceAndServedAsTheLatest) {
  test::TempDir dir;
  const std::string db = dir / "tx.sqlite";
  const QString folder = QString::fromStdString(dir / "reports");
  const TReportPeriod yesterday = PreviousReportPeriod(
      ReportSpan::Day, QDateTime::currentMSecsSinceEpoch(), QTimeZone::systemTimeZone());
  {
    HistoryStore store(db);
    store.Add(yesterday.StartMs + 3600'000, {.Forward = 100, .Reflected = 1}, {0, true});
  }
  QString latest;
  {
    ReportWriter writer(folder, {{"tx", db, {}}, {"empty", dir / "none.sqlite", {}}});
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while ((latest = LatestReport(folder, "tx", ReportSpan::Day)).isEmpty() &&
           std::chrono::steady_clock::now() < deadline)
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  EXPECT_EQ(QFileInfo(latest).fileName(), ReportFileName("tx", yesterday));
  QFile file(latest);
  ASSERT_TRUE(file.open(QIODevice::ReadOnly));
  EXPECT_TRUE(file.readAll().contains("Daily report: tx"));
  // Nothing for a monitor without a history, nor for a week before the history began.
  EXPECT_TRUE(LatestReport(folder, "empty", ReportSpan::Day).isEmpty());
  const TReportPeriod lastWeek = PreviousReportPeriod(
      ReportSpan::Week, QDateTime::currentMSecsSinceEpoch(), QTimeZone::systemTimeZone());
  EXPECT_EQ(QFileInfo::exists(folder + '/' + ReportFileName("tx", lastWeek)),
            yesterday.StartMs < lastWeek.EndMs);
}

}  // namespace
}  // namespace vemo::service

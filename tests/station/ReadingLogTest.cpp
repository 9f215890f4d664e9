// SPDX-License-Identifier: GPL-3.0-or-later
// The CSV log: its text, header and daily files, and what it does when the file cannot
// be written.
#include "station/ReadingLog.h"

#include "monitor/VSWRMon.h"
#include "station/AlarmEvaluator.h"
#include "station/IsoTime.h"
#include "station/ReadingCsv.h"
#include "tests/platform/TempDir.h"

#include <QDateTime>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <clocale>
#include <csignal>
#include <cstring>
#include <ctime>
#include <filesystem>

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace vemo {
namespace {

using test::ReadFile;
using test::TempDir;
using test::WriteFile;
using ::testing::HasSubstr;

qint64 LocalMs(int year, int month, int day, int hour) {
  return QDateTime(QDate(year, month, day), QTime(hour, 0)).toMSecsSinceEpoch();
}

TMonitorReading Reading(float forward, float reflected, bool alarm = false) {
  TMonitorReading r;
  r.Forward = forward;
  r.Reflected = reflected;
  r.Alarm = alarm;
  return r;
}

const std::string kHeader = std::string(kReadingLogCsvHeader) + "\n";

std::string LogRow(qint64 t, const TMonitorReading& reading) {
  return ReadingLogCsvRow(t, reading, {});
}

struct Notices {
  std::vector<std::string> failing, resumed;
  ReadingLog::Notify Notify() {
    return [this](bool fails, const std::string& m) { (fails ? failing : resumed).push_back(m); };
  }
};

TEST(ReadingCsv, RowsKeepTheirPointUnderADecimalCommaLocale) {
  const std::string previous = std::setlocale(LC_ALL, nullptr);
  if (!std::setlocale(LC_ALL, "de_DE.UTF-8")) GTEST_SKIP() << "no de_DE.UTF-8 locale";
  const qint64 t = LocalMs(2024, 3, 1, 12) + 345;
  struct Row {
    TMonitorReading reading;
    const char* tail;
  };
  const Row rows[] = {
      {Reading(100, 1, true), ",100,1,1.22,-20.00,0.10,99.00,50.0,1,0"},
      {Reading(1500.5f, 0.25f), ",1500.5,0.25,1.03,-37.78,0.01,99.98,61.8,0,0"},
      {Reading(1e6f, 0), ",1e+06,0,1.02,-40.00,0.00,100.00,90.0,0,0"},
      {Reading(0, 0), ",0,0,99.99,0.00,1.00,0.00,0.0,0,0"},
      {Reading(100, -1), ",100,-1,99.99,0.00,1.00,0.00,50.0,0,1"},
  };
  for (const Row& row : rows) EXPECT_EQ(ReadingCsvRow(t, row.reading), IsoTime(t) + row.tail);
  std::setlocale(LC_ALL, previous.c_str());
}

// The hour repeated when the clocks go back stays two different times.
TEST(ReadingCsv, TimesCarryTheirOffsetFromUtcOrAreInUtc) {
  const QByteArray zone = qgetenv("TZ");
  struct Row {
    const char* tz;
    const char* utc;  // the moment
    bool inUtc;
    const char* written;
  };
  const Row rows[] = {
      {"Europe/Berlin", "2026-12-08T09:00:03.256Z", false, "2026-12-08T10:00:03.256+01:00"},
      {"Europe/Berlin", "2026-03-29T00:59:59.999Z", false, "2026-03-29T01:59:59.999+01:00"},
      {"Europe/Berlin", "2026-03-29T01:00:00.000Z", false, "2026-03-29T03:00:00.000+02:00"},
      {"Europe/Berlin", "2026-10-25T00:30:00.000Z", false, "2026-10-25T02:30:00.000+02:00"},
      {"Europe/Berlin", "2026-10-25T01:30:00.000Z", false, "2026-10-25T02:30:00.000+01:00"},
      {"Europe/Berlin", "2026-10-25T01:30:00.000Z", true, "2026-10-25T01:30:00.000Z"},
      {"America/St_Johns", "2026-12-08T12:00:00.000Z", false, "2026-12-08T08:30:00.000-03:30"},
      {"UTC", "2026-12-08T12:00:00.000Z", false, "2026-12-08T12:00:00.000+00:00"},
  };
  for (const Row& row : rows) {
    qputenv("TZ", row.tz);
    tzset();
    SetIsoTimesInUtc(row.inUtc);
    const qint64 t = QDateTime::fromString(row.utc, Qt::ISODateWithMs).toMSecsSinceEpoch();
    EXPECT_EQ(ReadingCsvRow(t, Reading(1, 0)).substr(0, std::strlen(row.written)), row.written)
        << row.tz << ' ' << row.utc;
  }
  SetIsoTimesInUtc(false);
  if (zone.isNull())
    qunsetenv("TZ");
  else
    qputenv("TZ", zone);
  tzset();
}

TEST(ReadingLog, WritesTheHeaderOnceAndEveryLineAtOnce) {
  TempDir dir;
  const std::string file = dir / "log.csv";
  const qint64 t = LocalMs(2024, 3, 1, 12);
  {
    ReadingLog log(file, false);
    ASSERT_TRUE(log.Write(t, Reading(100, 1)));
    EXPECT_EQ(ReadFile(file), kHeader + LogRow(t, Reading(100, 1)) + "\n");
  }
  ReadingLog again(file, false);  // an existing file: appended to, no second header
  ASSERT_TRUE(again.Write(t + 500, Reading(50, 2)));
  EXPECT_EQ(ReadFile(file),
            kHeader + LogRow(t, Reading(100, 1)) + "\n" + LogRow(t + 500, Reading(50, 2)) + "\n");

  ReadingLog daily(dir / "station.CSV", true);
  ASSERT_TRUE(daily.Write(LocalMs(2024, 3, 1, 23), Reading(1, 0)));
  ASSERT_TRUE(daily.Write(LocalMs(2024, 3, 2, 0), Reading(2, 0)));
  for (const char* day : {"station-2024-03-01.csv", "station-2024-03-02.csv"}) {
    const std::string text = ReadFile(dir / day);
    EXPECT_EQ(text.rfind(kHeader, 0), 0u) << day;
    EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 2) << day;
  }
}

// The program's alarms and the keying go in columns of their own at the end; a file begun
// without them keeps the columns it has, so that what reads it goes on working.
TEST(ReadingLog, MarksAlarmsAndKeyingButKeepsTheColumnsOfAnOlderFile) {
  TempDir dir;
  const qint64 t = LocalMs(2024, 3, 1, 12);
  const TReadingMarks marks{
      AlarmSourceBit(AlarmSource::VSWRAbove) | AlarmSourceBit(AlarmSource::OffAir), false};
  ReadingLog log(dir / "new.csv", false);
  ASSERT_TRUE(log.Write(t, Reading(0, 0), marks));
  EXPECT_EQ(ReadFile(dir / "new.csv"),
            kHeader + ReadingCsvRow(t, Reading(0, 0)) + ",vswr+offair,0\n");

  // Its last line cut short (a crash): the new one still starts a line of its own.
  const std::string begun = std::string(kReadingCsvHeader) + "\r\n2024-03-01T11:59";
  WriteFile(dir / "old.csv", begun);
  ReadingLog old(dir / "old.csv", false);
  ASSERT_TRUE(old.Write(t, Reading(0, 0), marks));
  EXPECT_EQ(ReadFile(dir / "old.csv"), begun + "\n" + ReadingCsvRow(t, Reading(0, 0)) + "\n");
}

// With a rig a new file ends in the reading's place; a file begun without those columns
// keeps its own, and one begun with them keeps them when the rig is gone.
TEST(ReadingLog, ARigAddsThePlaceToNewFilesOnly) {
  TempDir dir;
  const qint64 t = LocalMs(2024, 3, 1, 12);
  const TReadingPlace place{14074000, "20m", 90, 4};
  const std::string row = ReadingCsvRow(t, Reading(100, 5)) + ",,1";
  WriteFile(dir / "old.csv", kHeader);
  ReadingLog(dir / "old.csv", false, {}, true).Write(t, Reading(100, 5), {}, &place);
  EXPECT_EQ(ReadFile(dir / "old.csv"), kHeader + row + "\n");

  ReadingLog(dir / "rig.csv", false, {}, true).Write(t, Reading(100, 5), {}, &place);
  ReadingLog(dir / "rig.csv", false).Write(t, Reading(100, 5));
  EXPECT_EQ(ReadFile(dir / "rig.csv"), std::string(kReadingLogCsvHeader) + kReadingCsvRigColumns +
                                           "\n" + row + ",14074000,20m,90,4\n" + row +
                                           ",,,100,5\n");
}

TEST(ReadingLog, TellsOnceCountsWhatWasNotLoggedAndResumes) {
  TempDir dir;
  const qint64 t = LocalMs(2024, 3, 1, 12);
  test::WriteFile(dir / "plain", "");
  Notices underFile;
  ReadingLog blocked(dir / "plain/log.csv", false, underFile.Notify());
  EXPECT_FALSE(blocked.Write(t, Reading(1, 0)));
  ASSERT_EQ(underFile.failing.size(), 1u);
  EXPECT_THAT(underFile.failing[0], HasSubstr("plain/log.csv\" (Not a directory)"));

  const std::string folder = dir / "logs";
  std::filesystem::create_directory(folder);
  Notices notices;
  ReadingLog log(folder + "/log.csv", false, notices.Notify());
  ASSERT_TRUE(log.Write(t, Reading(1, 0)));
  std::filesystem::remove_all(folder);
  EXPECT_FALSE(log.Write(t + 1, Reading(2, 0)));
  EXPECT_FALSE(log.Write(t + 2, Reading(3, 0)));
  ASSERT_EQ(notices.failing.size(), 1u);
  EXPECT_THAT(notices.failing[0], HasSubstr("cannot open \"" + folder + "/log.csv\""));
  EXPECT_EQ(log.NotLogged(), 2);

  std::filesystem::create_directory(folder);
  ASSERT_TRUE(log.Write(t + 3, Reading(4, 0)));
  ASSERT_EQ(notices.resumed.size(), 1u);
  EXPECT_THAT(notices.resumed[0], HasSubstr("2 readings were not logged"));
  EXPECT_EQ(ReadFile(folder + "/log.csv"), kHeader + LogRow(t + 3, Reading(4, 0)) + "\n");

  // Removed while logging: the next reading goes into a new file, with its header.
  std::filesystem::remove(folder + "/log.csv");
  ASSERT_TRUE(log.Write(t + 4, Reading(5, 0)));
  EXPECT_EQ(ReadFile(folder + "/log.csv"), kHeader + LogRow(t + 4, Reading(5, 0)) + "\n");
  EXPECT_EQ(notices.failing.size(), 1u);
}

TEST(ReadingLog, AFullDiskLeavesNoPartialLine) {
  TempDir dir;
  const std::string file = dir / "log.csv";
  const qint64 t = LocalMs(2024, 3, 1, 12);
  const std::string first = LogRow(t, Reading(1, 0)) + "\n";
  const std::string fourth = LogRow(t + 3, Reading(4, 0)) + "\n";

  // In a child: the file-size limit stands in for a full disk, ten bytes into line two.
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    std::signal(SIGXFSZ, SIG_IGN);
    rlimit limit{};
    getrlimit(RLIMIT_FSIZE, &limit);
    const rlim_t hard = limit.rlim_max;
    limit.rlim_cur = kHeader.size() + first.size() + 10;
    if (setrlimit(RLIMIT_FSIZE, &limit) != 0) _exit(10);
    int failures = 0, resumes = 0;
    ReadingLog log(file, false,
                   [&](bool fails, const std::string&) { (fails ? failures : resumes)++; });
    if (!log.Write(t, Reading(1, 0))) _exit(11);
    if (log.Write(t + 1, Reading(2, 0)) || log.Write(t + 2, Reading(3, 0))) _exit(12);
    limit.rlim_cur = hard;
    if (setrlimit(RLIMIT_FSIZE, &limit) != 0) _exit(13);
    if (!log.Write(t + 3, Reading(4, 0))) _exit(14);
    _exit(failures == 1 && resumes == 1 && log.NotLogged() == 2 ? 0 : 15);
  }
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0);
  EXPECT_EQ(ReadFile(file), kHeader + first + fourth);
}

}  // namespace
}  // namespace vemo

// The alarm log file: its lines, header once, and trouble told once.
#include "station/AlarmLog.h"

#include "tests/platform/TempDir.h"

#include <QDateTime>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <clocale>
#include <filesystem>

namespace vemo {
namespace {

using test::ReadFile;
using test::TempDir;
using ::testing::HasSubstr;

TEST(AlarmLog, OneLinePerEventUnderAHeaderWrittenOnce) {
  const std::string previous = std::setlocale(LC_ALL, nullptr);
  std::setlocale(LC_ALL, "de_DE.UTF-8");  // where available, a decimal comma
  const qint64 t = QDateTime(QDate(2024, 3, 1), QTime(12, 0)).toMSecsSinceEpoch() + 345;
  TempDir dir;
  const std::string file = dir / "alarms.csv";
  {
    AlarmLog log(file);
    ASSERT_TRUE(log.Write({1, AlarmSource::VSWRAbove, AlarmChange::Tripped, 2.3149, 2, t, false}));
    ASSERT_TRUE(log.Write({2, AlarmSource::Monitor, AlarmChange::Cleared, 0, 0, t + 1000, false}));
  }
  AlarmLog again(file);
  ASSERT_TRUE(again.Write(
      {3, AlarmSource::ReflectedAbove, AlarmChange::Cleared, 8.25, 12.5, t + 2000, true}));
  ASSERT_TRUE(
      again.Write({4, AlarmSource::LinkLost, AlarmChange::Tripped, 30.04, 30, t + 3000, false}));
  std::setlocale(LC_ALL, previous.c_str());
  EXPECT_EQ(ReadFile(file),
            "time,source,event,value,level\n"
            "2024-03-01T12:00:00.345,vswr,tripped,2.31,2\n"
            "2024-03-01T12:00:01.345,monitor,cleared unacknowledged,0,\n"
            "2024-03-01T12:00:02.345,reflected,cleared,8.25,12.5\n"
            "2024-03-01T12:00:03.345,link,tripped,30.0,30\n");
}

TEST(AlarmLog, TellsOnceWhenItCannotWriteAndResumes) {
  TempDir dir;
  const std::string folder = dir / "logs";
  std::vector<std::string> failing, resumed;
  AlarmLog log(folder + "/alarms.csv", [&](bool fails, const std::string& message) {
    (fails ? failing : resumed).push_back(message);
  });
  const TAlarmEvent event{1, AlarmSource::Monitor, AlarmChange::Tripped, 1, 0, 0, false};
  EXPECT_FALSE(log.Write(event));
  EXPECT_FALSE(log.Write(event));
  ASSERT_EQ(failing.size(), 1u);
  EXPECT_THAT(failing[0], HasSubstr("Alarm events are not being logged: cannot open"));
  std::filesystem::create_directory(folder);
  EXPECT_TRUE(log.Write(event));
  ASSERT_EQ(resumed.size(), 1u);
  EXPECT_THAT(resumed[0], HasSubstr("2 alarm events were not logged"));
}

}  // namespace
}  // namespace vemo

// SPDX-License-Identifier: GPL-3.0-or-later
// The alarm log file: its lines and its header, written once. (Trouble writing is the
// appending file's, tested with the reading log.)
#include "station/AlarmLog.h"
#include "station/IsoTime.h"

#include "tests/platform/TempDir.h"

#include <QDateTime>

#include <gtest/gtest.h>

#include <clocale>

namespace vemo {
namespace {

using test::ReadFile;
using test::TempDir;

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
            "time,source,event,value,level\n" + IsoTime(t) + ",vswr,tripped,2.31,2\n" +
                IsoTime(t + 1000) + ",monitor,cleared unacknowledged,0,\n" + IsoTime(t + 2000) +
                ",reflected,cleared,8.25,12.5\n" + IsoTime(t + 3000) + ",link,tripped,30.0,30\n");
}

}  // namespace
}  // namespace vemo

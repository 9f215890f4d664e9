// SPDX-License-Identifier: GPL-3.0-or-later
// One history record per alarm, whatever order its events come in.
#include <gtest/gtest.h>

#include "ui/alarms/AlarmHistory.h"

namespace vemo {
namespace {

TAlarmEvent Event(std::uint64_t id, AlarmChange change, qint64 ms) {
  TAlarmEvent e;
  e.Id = id;
  e.Source = AlarmSource::VSWRAbove;
  e.Change = change;
  e.Value = 2.5;
  e.TimeMs = ms;
  return e;
}

TEST(AlarmHistory, AcknowledgementAndClearingFillInTheirOwnAlarmsRecord) {
  AlarmHistory h;
  EXPECT_EQ(h.Add(Event(1, AlarmChange::Tripped, 100)), 0);
  EXPECT_EQ(h.Add(Event(2, AlarmChange::Tripped, 200)), 1);
  EXPECT_EQ(h.Add(Event(1, AlarmChange::Acknowledged, 300)), 0);
  EXPECT_EQ(h.Add(Event(2, AlarmChange::Cleared, 400)), 1);  // never acknowledged
  EXPECT_EQ(h.Add(Event(1, AlarmChange::Cleared, 500)), 0);
  EXPECT_EQ(h.Add(Event(9, AlarmChange::Cleared, 600)), -1);
  ASSERT_EQ(h.Records().size(), 2u);
  EXPECT_EQ(h.Records()[0].TrippedMs, 100);
  EXPECT_EQ(h.Records()[0].AcknowledgedMs, 300);
  EXPECT_EQ(h.Records()[0].ClearedMs, 500);
  EXPECT_EQ(h.Records()[1].AcknowledgedMs, -1);
  EXPECT_EQ(h.Records()[1].ClearedMs, 400);
}

TEST(AlarmHistory, KeepsTheNewestRecordsWhenFull) {
  AlarmHistory h;
  for (std::uint64_t id = 1; id <= AlarmHistory::kMaxRecords + 5; ++id)
    h.Add(Event(id, AlarmChange::Tripped, static_cast<qint64>(id)));
  ASSERT_EQ(h.Records().size(), AlarmHistory::kMaxRecords);
  EXPECT_EQ(h.Records().front().Id, 6u);
  EXPECT_EQ(h.Add(Event(3, AlarmChange::Cleared, 9)), -1) << "dropped with its record";
  EXPECT_EQ(h.Add(Event(AlarmHistory::kMaxRecords + 5, AlarmChange::Cleared, 9)),
            static_cast<int>(AlarmHistory::kMaxRecords) - 1);
}

}  // namespace
}  // namespace vemo

// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The alarms of this run, one record per alarm, filled from the evaluator's events: when
// it tripped, with what value, and when (if) it was acknowledged and cleared.

#include "station/AlarmEvaluator.h"

#include <cstdint>
#include <deque>

namespace vemo {

struct TAlarmRecord {
  std::uint64_t Id = 0;
  AlarmSource Source = AlarmSource::Monitor;
  double Value = 0;  // at the trip
  double Level = 0;
  qint64 TrippedMs = 0;
  qint64 AcknowledgedMs = -1;  // -1: not (yet)
  qint64 ClearedMs = -1;
};

class AlarmHistory {
 public:
  // A run that chatters for days must not grow without end: the oldest go first.
  static constexpr size_t kMaxRecords = 1000;

  // Returns the index of the record the event made or changed, or -1 for an event of an
  // alarm no longer kept.
  int Add(const TAlarmEvent& event);
  const std::deque<TAlarmRecord>& Records() const { return records_; }

 private:
  std::deque<TAlarmRecord> records_;
};

}  // namespace vemo

// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/alarms/AlarmHistory.h"

namespace vemo {

int AlarmHistory::Add(const TAlarmEvent& event) {
  if (event.Change == AlarmChange::Tripped) {
    if (records_.size() >= kMaxRecords) records_.pop_front();
    records_.push_back({event.Id, event.Source, event.Value, event.Level, event.TimeMs});
    return static_cast<int>(records_.size()) - 1;
  }
  // Acknowledgements and clearings belong to a recent trip: search from the end.
  for (size_t i = records_.size(); i-- > 0;) {
    TAlarmRecord& record = records_[i];
    if (record.Id != event.Id) continue;
    (event.Change == AlarmChange::Acknowledged ? record.AcknowledgedMs : record.ClearedMs) =
        event.TimeMs;
    return static_cast<int>(i);
  }
  return -1;
}

}  // namespace vemo

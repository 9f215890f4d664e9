// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The JSON documents of the service: the HTTP API, the live stream and what observers get.
//
// A monitor (MonitorJson):
//   {"name":"tx","device":"1","up":true,"phase":"polling","model":"KRFMON04",
//    "firmware":"2009-12-31","full_scale_watts":625,"interval_ms":500,
//    "reading":{"time_ms":1700000000000,"forward_watts":100,"reflected_watts":1.5,
//               "vswr":1.28,"return_loss_db":-18.2,"alarm":false,"age_ms":480} | null,
//    "implausible":false, "implausible_reading":{"time_ms":..,"forward_watts":1000,
//               "reflected_watts":12.5,"alarm":false,"reason":"..."} (only while true),
//    "implausible_total":0,"readings_total":42,"errors":{"timeout":0,"protocol":0,"port":1},
//    "last_error":"...","retry_in_ms":0,
//    "alarms":{"monitor":"normal","vswr":"active",...},"sounding":true}
// "reading" is null whenever the monitor is not up (MonitorSnapshot::Up): no value
// outlives its reading. It is the latest plausible reading: while the monitor sends
// implausible ones, "implausible" is true, the latest of them is in "implausible_reading",
// and "reading" ages.
// An alarm event (AlarmEventJson):
//   {"id":3,"source":"vswr","event":"tripped","value":2.4,"level":2.0,"time_ms":...,
//    "was_acknowledged":false}

#include "app/service/MonitorSnapshot.h"
#include "station/AlarmEvaluator.h"
#include "station/ReadingHistory.h"

#include "station/Summary.h"

#include <QByteArray>
#include <QJsonObject>

#include <vector>

namespace vemo::service {

struct HistoryQuery;

// The monitor object at nowMs (milliseconds since the epoch).
QJsonObject MonitorObject(const MonitorSnapshot& monitor, qint64 nowMs);
QByteArray MonitorJson(const MonitorSnapshot& monitor, qint64 nowMs);
QByteArray MonitorListJson(const std::vector<const MonitorSnapshot*>& monitors, qint64 nowMs);
QByteArray AlarmEventJson(const TAlarmEvent& event);
// {"since":ms,"step":ms,"points":[{"t":ms,"count":n,"gaps":n,"forward":mean,
//  "forward_max":..,"reflected":mean,"reflected_max":..,"vswr":mean,"vswr_max":..,
//  "alarm":false}]}; a point without readings carries only t, count 0 and gaps. columns
// are the query's column summaries (ReadingHistory::Decimate).
QByteArray HistoryJson(const std::vector<TSummary>& columns, const HistoryQuery& query);

}  // namespace vemo::service

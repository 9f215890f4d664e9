// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The monitors as the SNMP agent serves them: plain rows in, the cells of the monitor table
// out, in the order a walk visits them, and the look-ups of a get and a get-next. No
// net-snmp here, so that the table can be checked without an agent.
//
// A cell's place is its column and its row index, the last two sub-identifiers of its
// object identifier under the table's entry. A walk visits the first column of every row,
// then the second, and so on.

#include "monitor/VSWRMon.h"
#include "station/AlarmEvaluator.h"

#include <QtGlobal>

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace vemo::service {

// What the agent knows of one monitor at one moment.
struct SnmpMonitor {
  std::string Name;
  std::string Model;
  std::string Firmware;
  int Status = 1;  // vemoswrMonitorStatus: starting(1), connecting(2), polling(3), waiting(4)
  bool Up = false;
  std::optional<TMonitorReading> Reading;  // only while up
  double FullScale = 0;
  std::array<AlarmState, kAlarmSourceCount> Alarms{};
  std::optional<qint64> ReadingAgeMs;  // none before the first reading
};

// The columns of vemoswrMonitorEntry (1, the index, is not readable).
enum SnmpColumn : std::uint32_t {
  kColName = 2,
  kColModel,
  kColFirmware,
  kColForward,
  kColReflected,
  kColVswr,
  kColReturnLoss,
  kColStatus,
  kColLinkUp,
  kColAlarmMonitor,
  kColAlarmVswr,
  kColAlarmReflected,
  kColAlarmForward,
  kColAlarmLink,
  kColReadingAge,
  kColAlarmOffAir,  // added after the reading age: earlier columns keep their numbers
  kColAlarmForwardDrift,
  kColAlarmReflectedDrift,
  kColAlarmVswrDrift,
  kColLast = kColAlarmVswrDrift,
};

struct SnmpCell {
  std::uint32_t Column = 0;
  std::uint32_t Row = 0;  // vemoswrMonitorIndex, from 1
  bool IsText = false;
  std::int32_t Integer = 0;
  std::string Text;
  // Unsigned32 rather than Integer32 on the wire (the reading age).
  bool IsUnsigned = false;
};

// value * scale rounded, within the range of Integer32; none for NaN.
std::optional<std::int32_t> ScaledInteger(double value, double scale);

// vemoswrMonitorAlarm*: normal(1), active(2), acknowledged(3).
std::int32_t AlarmStateCode(AlarmState state);

// The cells of the rows, row i having index i + 1, ordered as a walk visits them. A monitor
// that is not up has no reading cells; one never read has no age.
std::vector<SnmpCell> MonitorCells(const std::vector<SnmpMonitor>& rows);

// The cell at {column, row} exactly, or null.
const SnmpCell* FindCell(const std::vector<SnmpCell>& cells, std::span<const std::uint32_t> at);
// The first cell after the place `after` (any length: a prefix comes before everything it
// begins), or null past the last.
const SnmpCell* NextCell(const std::vector<SnmpCell>& cells, std::span<const std::uint32_t> after);

}  // namespace vemo::service

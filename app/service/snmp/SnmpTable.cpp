// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/service/snmp/SnmpTable.h"

#include "station/Readout.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <utility>

namespace vemo::service {

std::optional<std::int32_t> ScaledInteger(double value, double scale) {
  const double v = std::round(value * scale);
  if (std::isnan(v)) return std::nullopt;
  constexpr double lo = std::numeric_limits<std::int32_t>::min();
  constexpr double hi = std::numeric_limits<std::int32_t>::max();
  return static_cast<std::int32_t>(std::clamp(v, lo, hi));
}

std::int32_t AlarmStateCode(AlarmState state) {
  switch (state) {
    case AlarmState::Normal:
      return 1;
    case AlarmState::Active:
      return 2;
    case AlarmState::Acknowledged:
      return 3;
    case AlarmState::Latched:
      return 4;
  }
  return 1;
}

std::vector<SnmpCell> MonitorCells(const std::vector<SnmpMonitor>& rows) {
  std::vector<SnmpCell> cells;
  cells.reserve(rows.size() * kColLast);
  for (std::uint32_t i = 0; i < rows.size(); ++i) {
    const SnmpMonitor& m = rows[i];
    const std::uint32_t row = i + 1;
    const auto text = [&](std::uint32_t column, const std::string& value) {
      cells.push_back({column, row, true, 0, value, false});
    };
    const auto integer = [&](std::uint32_t column, std::optional<std::int32_t> value,
                             bool isUnsigned = false) {
      if (value) cells.push_back({column, row, false, *value, {}, isUnsigned});
    };
    text(kColName, m.Name);
    text(kColModel, m.Model);
    text(kColFirmware, m.Firmware);
    if (m.Up && m.Reading) {
      const TMonitorReading& r = *m.Reading;
      const TReadout readout = DeriveReadout(r.Forward, r.Reflected, m.FullScale);
      // Within the ranges the MIB declares: a manager may reject a value outside them.
      const auto within = [](std::optional<std::int32_t> v, std::int32_t lo, std::int32_t hi) {
        return v ? std::optional(std::clamp(*v, lo, hi)) : v;
      };
      constexpr std::int32_t most = std::numeric_limits<std::int32_t>::max();
      integer(kColForward, within(ScaledInteger(r.Forward, 1000), 0, most));
      integer(kColReflected, within(ScaledInteger(r.Reflected, 1000), 0, most));
      integer(kColVswr, within(ScaledInteger(readout.VSWR, 100), 100, 9999));
      integer(kColReturnLoss, within(ScaledInteger(readout.ReturnLoss, 100), -9999, 0));
    }
    integer(kColStatus, m.Status);
    integer(kColLinkUp, m.Up ? 1 : 2);  // TruthValue
    // The test alarm has no column: it tests the chain, not the station.
    static constexpr std::pair<AlarmSource, std::uint32_t> kAlarmColumns[] = {
        {AlarmSource::Monitor, kColAlarmMonitor},
        {AlarmSource::VSWRAbove, kColAlarmVswr},
        {AlarmSource::ReflectedAbove, kColAlarmReflected},
        {AlarmSource::ForwardBelow, kColAlarmForward},
        {AlarmSource::LinkLost, kColAlarmLink},
        {AlarmSource::OffAir, kColAlarmOffAir},
        {AlarmSource::ForwardDrift, kColAlarmForwardDrift},
        {AlarmSource::ReflectedDrift, kColAlarmReflectedDrift},
        {AlarmSource::VSWRDrift, kColAlarmVswrDrift}};
    for (const auto& [source, column] : kAlarmColumns)
      integer(column, AlarmStateCode(m.Alarms[static_cast<std::size_t>(source)]));
    if (m.ReadingAgeMs)
      integer(kColReadingAge, ScaledInteger(std::max<qint64>(0, *m.ReadingAgeMs), 0.01), true);
  }
  std::sort(cells.begin(), cells.end(), [](const SnmpCell& a, const SnmpCell& b) {
    return a.Column != b.Column ? a.Column < b.Column : a.Row < b.Row;
  });
  return cells;
}

namespace {

// Orders a cell's place against an identifier suffix, sub-identifier by sub-identifier; a
// shorter suffix that the place begins with comes first.
int Compare(const SnmpCell& c, std::span<const std::uint32_t> at) {
  const std::uint32_t place[2] = {c.Column, c.Row};
  for (size_t i = 0; i < 2; ++i) {
    if (i >= at.size()) return 1;
    if (place[i] != at[i]) return place[i] < at[i] ? -1 : 1;
  }
  return at.size() > 2 ? -1 : 0;
}

}  // namespace

const SnmpCell* FindCell(const std::vector<SnmpCell>& cells, std::span<const std::uint32_t> at) {
  const auto it = std::lower_bound(cells.begin(), cells.end(), at,
                                   [](const SnmpCell& c, auto a) { return Compare(c, a) < 0; });
  return it != cells.end() && Compare(*it, at) == 0 ? &*it : nullptr;
}

const SnmpCell* NextCell(const std::vector<SnmpCell>& cells, std::span<const std::uint32_t> after) {
  const auto it = std::upper_bound(cells.begin(), cells.end(), after,
                                   [](auto a, const SnmpCell& c) { return Compare(c, a) > 0; });
  return it != cells.end() ? &*it : nullptr;
}

}  // namespace vemo::service

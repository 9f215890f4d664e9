// SPDX-License-Identifier: GPL-3.0-or-later
// The monitor table as a walk and a get see it, without an agent.
#include "app/service/snmp/SnmpTable.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace vemo::service {
namespace {

std::vector<SnmpMonitor> TwoMonitors() {
  SnmpMonitor up;
  up.Name = "tx";
  up.Up = true;
  up.Status = 3;
  up.Reading = TMonitorReading{100.0f, 4.0f};
  up.FullScale = 250;
  up.Alarms[1] = AlarmState::Active;
  up.ReadingAgeMs = 480;
  SnmpMonitor down;  // never read: no reading cells, no age
  down.Name = "rx";
  SnmpMonitor matched = up;  // a return loss beyond what the column can hold
  matched.Reading = TMonitorReading{1000.0f, 1e-9f};
  return {up, down, matched};
}

TEST(SnmpTable, ReadingsOfAMonitorThatIsUpAndNoneOfOneThatIsDown) {
  const std::vector<SnmpCell> cells = MonitorCells(TwoMonitors());
  struct Row {
    std::uint32_t column, row;
    std::optional<std::int32_t> value;
  } rows[] = {
      {kColForward, 1, 100000},        {kColReflected, 1, 4000}, {kColVswr, 1, 150},
      {kColReturnLoss, 1, -1398},      {kColStatus, 1, 3},       {kColLinkUp, 1, 1},
      {kColAlarmVswr, 1, 2},           {kColReadingAge, 1, 5},   {kColForward, 2, std::nullopt},
      {kColVswr, 2, std::nullopt},     {kColLinkUp, 2, 2},       {kColReadingAge, 2, std::nullopt},
      {kColAlarmLink, 2, 1},           {kColAlarmOffAir, 2, 1},  {kColAlarmVswrDrift, 2, 1},
      {kColLast + 1, 1, std::nullopt},
  };
  for (const Row& r : rows) {
    const std::uint32_t at[] = {r.column, r.row};
    const SnmpCell* cell = FindCell(cells, at);
    ASSERT_EQ(cell != nullptr, r.value.has_value()) << r.column << "." << r.row;
    if (cell) {
      EXPECT_EQ(cell->Integer, *r.value) << r.column << "." << r.row;
    }
  }
}

TEST(SnmpTable, GetNextWalksColumnByColumnFromAnyPlace) {
  const std::vector<SnmpCell> cells = MonitorCells(TwoMonitors());
  struct Row {
    std::vector<std::uint32_t> after;
    std::optional<std::pair<std::uint32_t, std::uint32_t>> next;
  } rows[] = {
      {{}, {{kColName, 1}}},
      {{0}, {{kColName, 1}}},
      {{kColName}, {{kColName, 1}}},
      {{kColName, 1}, {{kColName, 2}}},
      {{kColName, 3}, {{kColModel, 1}}},
      {{kColName, 1, 7}, {{kColName, 2}}},
      {{kColModel, 99}, {{kColFirmware, 1}}},
      {{kColForward, 1}, {{kColForward, 3}}},  // the down monitor has no forward cell
      {{kColReadingAge, 3}, {{kColAlarmOffAir, 1}}},
      {{kColAlarmOffAir, 3}, {{kColAlarmForwardDrift, 1}}},
      {{kColLast, 3}, std::nullopt},
      {{kColLast + 1}, std::nullopt},
      {{UINT32_MAX, UINT32_MAX}, std::nullopt},
  };
  for (const Row& r : rows) {
    const SnmpCell* cell = NextCell(cells, r.after);
    ASSERT_EQ(cell != nullptr, r.next.has_value()) << ::testing::PrintToString(r.after);
    if (cell) {
      EXPECT_EQ(std::make_pair(cell->Column, cell->Row), *r.next)
          << ::testing::PrintToString(r.after);
    }
  }
}

TEST(SnmpTable, ScaledValuesStayWithinInteger32) {
  EXPECT_EQ(ScaledInteger(2.4999, 1000), 2500);  // rounded, not cut
  EXPECT_EQ(ScaledInteger(5e6, 1000), std::numeric_limits<std::int32_t>::max());
  EXPECT_EQ(ScaledInteger(-INFINITY, 100), std::numeric_limits<std::int32_t>::min());
  EXPECT_EQ(ScaledInteger(NAN, 1000), std::nullopt);
}

}  // namespace
}  // namespace vemo::service

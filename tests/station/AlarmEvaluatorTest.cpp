// SPDX-License-Identifier: GPL-3.0-or-later
// The alarm state machine under an injected clock: delay, hysteresis, acknowledging before
// and after clearing, latching, the test alarm, off the air, persistence, the transmitter
// unkeyed, and the link lost and found.
#include "station/AlarmEvaluator.h"

#include "monitor/VSWRMon.h"

#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <vector>

namespace vemo {
namespace {

// One step: at TimeMs, a reading (forward, reflected W, monitor flag) or another call,
// and the events it must give as "source change" separated by ", ".
enum class Do { Read, Fail, Tick, Ack, PollOn, PollOff, Test };
struct Step {
  qint64 TimeMs;
  Do Action;
  float Forward, Reflected;
  bool Flag;
  const char* Expect;
};
struct Case {
  const char* Name;
  TAlarmLevels Levels;
  std::vector<Step> Steps;
  bool SoundingAtEnd;
};

void PrintTo(const Case& c, std::ostream* os) {
  *os << c.Name;
}

std::string Describe(const std::vector<TAlarmEvent>& events) {
  std::string text;
  for (const TAlarmEvent& e : events) {
    if (!text.empty()) text += ", ";
    text += std::string(AlarmSourceName(e.Source)) + ' ' + AlarmChangeName(e.Change);
    if (e.Change == AlarmChange::Cleared && !e.WasAcknowledged) text += " unacknowledged";
  }
  return text;
}

TAlarmLevels Levels(double vswr, double reflected, double forward, double keyed, double link,
                    double delay, unsigned latch = 0) {
  TAlarmLevels l;
  l.Latch = latch;
  l.VSWRAbove = vswr;
  l.ReflectedAbove = reflected;
  l.ForwardBelow = forward;
  l.KeyedAbove = keyed;
  l.LinkLostAfter = link;
  l.Delay = delay;
  return l;
}

// VSWR of 100 W forward with these reflected powers: 4 W -> 1.50, 11.1 W -> 2.00,
// 12 W -> 2.06, 9 W -> 1.86, 10.5 W -> 1.96.
const Case kCases[] = {
    {"VswrTripsAtOnceAndClearsOnlyBelowTheHysteresis",
     Levels(2.0, 0, 0, 0, 0, 0),
     {{0, Do::Read, 100, 4, false, ""},
      {500, Do::Read, 100, 12, false, "vswr tripped"},
      {1000, Do::Read, 100, 10.5f, false, ""},  // 1.96: inside the band, stays
      {1500, Do::Read, 100, 12, false, ""},
      {2000, Do::Read, 100, 9, false, "vswr cleared unacknowledged"}},
     false},
    {"DelayNeedsTheConditionToPersist",
     Levels(0, 10, 0, 0, 0, 2),
     {{0, Do::Read, 100, 12, false, ""},
      {1000, Do::Read, 100, 12, false, ""},
      {1500, Do::Read, 100, 1, false, ""},  // dropped out: the delay starts again
      {2000, Do::Read, 100, 12, false, ""},
      {3999, Do::Read, 100, 12, false, ""},
      {4000, Do::Read, 100, 12, false, "reflected tripped"}},
     true},
    {"AClockSteppedBackDoesNotHoldAlarmsOff",
     Levels(0, 10, 0, 0, 3, 2),
     {{3'600'000, Do::PollOn, 0, 0, false, ""},
      {3'600'000, Do::Read, 100, 12, false, ""},
      {1000, Do::Read, 100, 12, false, ""},
      {3000, Do::Read, 100, 12, false, "reflected tripped"},
      {6000, Do::Tick, 0, 0, false, "link tripped"}},
     true},
    {"AcknowledgedThenCleared",
     Levels(0, 10, 0, 0, 0, 0),
     {{0, Do::Read, 100, 20, false, "reflected tripped"},
      {100, Do::Ack, 0, 0, false, "reflected acknowledged"},
      {200, Do::Ack, 0, 0, false, ""},
      {300, Do::Read, 100, 20, false, ""},
      {400, Do::Read, 100, 1, false, "reflected cleared"},
      {500, Do::Read, 100, 20, false, "reflected tripped"}},
     true},
    // Latched (the default): what cleared unseen stays until acknowledged.
    {"ClearedUnacknowledgedStaysLatchedUntilAcknowledged",
     Levels(0, 10, 0, 0, 0, 0, kLatchAll),
     {{0, Do::Read, 100, 20, false, "reflected tripped"},
      {100, Do::Read, 100, 1, false, "reflected cleared unacknowledged"},
      {200, Do::Read, 100, 1, false, ""},
      {300, Do::Ack, 0, 0, false, "reflected acknowledged"},
      {400, Do::Ack, 0, 0, false, ""}},
     false},
    {"ALatchedAlarmTripsAgainAsANewAlarm",
     Levels(0, 10, 0, 0, 0, 0, kLatchAll),
     {{0, Do::Read, 100, 20, false, "reflected tripped"},
      {100, Do::Read, 100, 1, false, "reflected cleared unacknowledged"},
      {200, Do::Read, 100, 20, false, "reflected tripped"},
      {300, Do::Ack, 0, 0, false, "reflected acknowledged"},
      {400, Do::Read, 100, 1, false, "reflected cleared"}},
     false},
    {"TestAlarmSoundsUntilAcknowledgedThenClears",
     Levels(0, 0, 0, 0, 0, 0, kLatchAll),
     {{0, Do::Test, 0, 0, false, "test tripped"},
      {100, Do::Test, 0, 0, false, ""},
      {200, Do::Ack, 0, 0, false, "test acknowledged, test cleared"}},
     false},
    // 0 W counts as unkeyed, and still it is what the off-air alarm is for.
    {"OffAirTripsAtZeroWattsKeyedOrNot",
     [] {
       TAlarmLevels l = Levels(0, 0, 80, 5, 0, 2);
       l.OffAirBelow = 50;
       return l;
     }(),
     {{0, Do::Read, 100, 1, false, ""},
      {1000, Do::Read, 0, 0, false, ""},
      {2999, Do::Read, 0, 0, false, ""},
      {3000, Do::Read, 0, 0, false, "offair tripped"},
      {4000, Do::Read, 51, 0, false, ""},  // inside the band (50..52.5)
      {5000, Do::Read, 100, 0, false, "offair cleared unacknowledged"}},
     false},
    // One bad reading at key-up and one at unkey do not trip 2 of 3; two in three do.
    {"PersistenceIgnoresOneBadReadingAtKeyUpAndUnkey",
     [] {
       TAlarmLevels l = Levels(2.0, 0, 0, 5, 0, 0);
       l.TripReadings = 2;
       l.OfReadings = 3;
       return l;
     }(),
     {{0, Do::Read, 0, 0, false, ""},
      {100, Do::Read, 100, 30, false, ""},  // key-up: VSWR 3.4 once
      {200, Do::Read, 100, 1, false, ""},
      {300, Do::Read, 100, 1, false, ""},
      {400, Do::Read, 20, 8, false, ""},  // unkey: VSWR 4.4 once
      {500, Do::Read, 0, 0, false, ""},
      {600, Do::Read, 0, 0, false, ""},
      {700, Do::Read, 100, 30, false, ""},
      {800, Do::Read, 100, 30, false, "vswr tripped"}},
     true},
    // Without a level of its own, keyed means above 1 % of the full scale (here 6.25 W).
    {"KeyedByDefaultAboveAShareOfTheFullScale",
     Levels(2.0, 0, 0, kKeyedAuto, 0, 0),
     {{0, Do::Read, 5, 4, false, ""}, {100, Do::Read, 7, 4, false, "vswr tripped"}},
     true},
    {"ClearedBeforeAcknowledgedStaysUnacknowledged",
     Levels(0, 10, 0, 0, 0, 0),
     {{0, Do::Read, 100, 20, false, "reflected tripped"},
      {100, Do::Read, 100, 1, false, "reflected cleared unacknowledged"},
      {200, Do::Ack, 0, 0, false, ""}},
     false},
    {"MonitorFlagAndThresholdsAreSeparateAlarms",
     Levels(0, 10, 0, 0, 0, 0),
     {{0, Do::Read, 100, 20, true, "monitor tripped, reflected tripped"},
      {100, Do::Read, 100, 1, true, "reflected cleared unacknowledged"},
      {200, Do::Ack, 0, 0, false, "monitor acknowledged"},
      {300, Do::Read, 100, 1, false, "monitor cleared"}},
     false},
    {"UnkeyedNeitherTripsNorClearsVswrOrForward",
     Levels(2.0, 0, 80, 5, 0, 0),
     {{0, Do::Read, 0, 0, false, ""},  // VSWR of no power reads 99.99
      {100, Do::Read, 3, 0, false, ""},
      {200, Do::Read, 50, 12, false, "vswr tripped, forward tripped"},
      {300, Do::Read, 0, 0, false, ""},
      {400, Do::Read, 83, 12, false, ""},  // 83 W: inside forward's band (80..84)
      {500, Do::Read, 100, 1, false,
       "vswr cleared unacknowledged, forward cleared unacknowledged"}},
     false},
    {"LinkLostTripsByTheClockAndClearsOnAReading",
     Levels(0, 0, 0, 0, 3, 0),
     {{0, Do::Tick, 0, 0, false, ""},  // not polling: nothing to lose
      {10000, Do::PollOn, 0, 0, false, ""},
      {12000, Do::Fail, 0, 0, false, ""},
      {12999, Do::Tick, 0, 0, false, ""},
      {13000, Do::Tick, 0, 0, false, "link tripped"},
      {14000, Do::Fail, 0, 0, false, ""},
      {15000, Do::Read, 100, 1, false, "link cleared unacknowledged"},
      {19000, Do::Tick, 0, 0, false, "link tripped"},
      {19500, Do::Ack, 0, 0, false, "link acknowledged"},
      {20000, Do::PollOff, 0, 0, false, "link cleared"},
      {90000, Do::Tick, 0, 0, false, ""}},
     false},
};

class AlarmEvaluatorCase : public ::testing::TestWithParam<Case> {};

TEST_P(AlarmEvaluatorCase, GivesTheEventsOfEachStep) {
  const Case& c = GetParam();
  AlarmEvaluator evaluator(c.Levels);
  for (const Step& s : c.Steps) {
    std::vector<TAlarmEvent> events;
    switch (s.Action) {
      case Do::Read: {
        TMonitorReading r;
        r.Forward = s.Forward;
        r.Reflected = s.Reflected;
        r.Alarm = s.Flag;
        events = evaluator.Reading(s.TimeMs, r, 625);
        break;
      }
      case Do::Test:
        events = evaluator.TestAlarm(s.TimeMs);
        break;
      case Do::Fail:
        events = evaluator.ReadingFailed(s.TimeMs);
        break;
      case Do::Tick:
        events = evaluator.Tick(s.TimeMs);
        break;
      case Do::Ack:
        events = evaluator.Acknowledge(s.TimeMs);
        break;
      case Do::PollOn:
      case Do::PollOff:
        events = evaluator.SetPolling(s.Action == Do::PollOn, s.TimeMs);
        break;
    }
    EXPECT_EQ(Describe(events), s.Expect) << "at " << s.TimeMs << " ms";
    for (const TAlarmEvent& e : events) EXPECT_EQ(e.TimeMs, s.TimeMs);
  }
  EXPECT_EQ(evaluator.Sounding(), c.SoundingAtEnd);
}

INSTANTIATE_TEST_SUITE_P(Steps, AlarmEvaluatorCase, ::testing::ValuesIn(kCases),
                         [](const auto& row) { return std::string(row.param.Name); });

// Readings on time (each a little late, as an exchange takes) never trip the link, however
// short "No reading for" is set; once they stop it trips after two intervals at the least.
TEST(AlarmEvaluator, LinkLostNeverTripsBetweenReadingsThatComeOnTime) {
  struct Row {
    qint64 intervalMs;
    double linkLostAfterS;
    qint64 tripsAfterMs;
  };
  const Row rows[] = {{100, 1, 1000}, {1000, 1, 2000}, {10'000, 5, 20'000}};
  for (const Row& row : rows) {
    AlarmEvaluator evaluator(Levels(0, 0, 0, 0, row.linkLostAfterS, 0));
    evaluator.SetPolling(true, 0, row.intervalMs);
    TMonitorReading r;
    r.Forward = 100;
    qint64 t = 0;
    for (int i = 0; i < 30; ++i) {
      // A tick between readings, as the window's once a second.
      EXPECT_TRUE(evaluator.Tick(t + row.intervalMs / 2).empty()) << row.intervalMs;
      t += row.intervalMs + 45;  // the exchange's own time
      EXPECT_TRUE(evaluator.Reading(t, r).empty()) << row.intervalMs << " at " << t;
    }
    EXPECT_TRUE(evaluator.Tick(t + row.tripsAfterMs - 1).empty()) << row.intervalMs;
    const std::vector<TAlarmEvent> trip = evaluator.Tick(t + row.tripsAfterMs);
    ASSERT_EQ(trip.size(), 1u) << row.intervalMs;
    EXPECT_EQ(trip[0].Level, static_cast<double>(row.tripsAfterMs) / 1000) << row.intervalMs;
  }
}

TEST(AlarmEvaluator, EventsCarryTheirTripsIdValueAndLevel) {
  AlarmEvaluator evaluator(Levels(0, 10, 0, 0, 0, 0));
  TMonitorReading r;
  r.Forward = 100;
  r.Reflected = 20;
  const TAlarmEvent trip = evaluator.Reading(1000, r).at(0);
  EXPECT_EQ(trip.Value, 20);
  EXPECT_EQ(trip.Level, 10);
  EXPECT_EQ(evaluator.State(AlarmSource::ReflectedAbove), AlarmState::Active);
  const TAlarmEvent ack = evaluator.Acknowledge(2000).at(0);
  EXPECT_EQ(ack.Id, trip.Id);
  EXPECT_EQ(evaluator.State(AlarmSource::ReflectedAbove), AlarmState::Acknowledged);
  // Switching the source off clears it.
  const std::vector<TAlarmEvent> off = evaluator.SetLevels(Levels(0, 0, 0, 0, 0, 0), 3000);
  ASSERT_EQ(off.size(), 1u);
  EXPECT_EQ(off[0].Id, trip.Id);
  EXPECT_TRUE(off[0].WasAcknowledged);
  r.Reflected = 30;
  EXPECT_TRUE(evaluator.Reading(4000, r).empty());
}

}  // namespace
}  // namespace vemo

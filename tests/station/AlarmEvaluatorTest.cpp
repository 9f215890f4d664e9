// The alarm state machine under an injected clock: delay, hysteresis, acknowledging before
// and after clearing, the transmitter unkeyed, and the link lost and found.
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
enum class Do { Read, Fail, Tick, Ack, PollOn, PollOff };
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
                    double delay) {
  TAlarmLevels l;
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
        events = evaluator.Reading(s.TimeMs, r);
        break;
      }
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

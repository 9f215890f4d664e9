// SPDX-License-Identifier: GPL-3.0-or-later
#include "rig/Sweep.h"

#include "tests/support/RigctldProcess.h"

#include <gtest/gtest.h>

#include <cmath>
#include <thread>

namespace vemo {
namespace {

std::vector<TSweepPoint> Points(std::initializer_list<std::pair<std::int64_t, double>> list) {
  std::vector<TSweepPoint> points;
  for (const auto& [hz, vswr] : list) points.push_back({hz, 10, 0, vswr});
  return points;
}

TEST(SweepAnalysis, MarksTheMinimumAndInterpolatesTheBandwidths) {
  const double inf = std::numeric_limits<double>::infinity();
  const auto a = AnalyseSweep(
      Points({{100, inf}, {200, 3.0}, {300, 1.8}, {400, 1.2}, {500, 1.4}, {600, 2.2}}));
  ASSERT_EQ(a.Minimum, 3u);
  EXPECT_DOUBLE_EQ(*a.At15.LowHz, 350);
  EXPECT_DOUBLE_EQ(*a.At15.HighHz, 500 + 100 * 0.1 / 0.8);
  EXPECT_DOUBLE_EQ(*a.At20.LowHz, 200 + 100 * 1.0 / 1.2);
  EXPECT_DOUBLE_EQ(*a.At20.HighHz, 500 + 100 * 0.6 / 0.8);
  // The curve never rises past 2.0 on the high side within the sweep.
  const auto b = AnalyseSweep(Points({{1, 2.5}, {2, 1.1}, {3, 1.9}}));
  EXPECT_TRUE(b.At20.LowHz.has_value());
  EXPECT_FALSE(b.At20.HighHz.has_value());
  EXPECT_FALSE(b.At20.Width().has_value());
  // Nothing under 1.5 at all.
  EXPECT_FALSE(AnalyseSweep(Points({{1, 3}, {2, 2.5}})).At15.LowHz.has_value());
}

TEST(SweepPlan, RefusesWhatCannotBeSwept) {
  const TSweepPlan good{14000000, 14350000, 50000, 300, {}, "", false};
  EXPECT_NO_THROW(CheckSweepPlan(good));
  for (auto change : std::vector<std::function<void(TSweepPlan&)>>{
           [](TSweepPlan& p) { p.ToHz = p.FromHz; }, [](TSweepPlan& p) { p.StepHz = 0; },
           [](TSweepPlan& p) { p.StepHz = 400000; }, [](TSweepPlan& p) { p.DwellMs = 99; },
           [](TSweepPlan& p) { p.DwellMs = 10001; }, [](TSweepPlan& p) { p.StepHz = 1; },
           [](TSweepPlan& p) { p.Power = 1.5; }}) {
    TSweepPlan plan = good;
    change(plan);
    EXPECT_THROW(CheckSweepPlan(plan), RigError);
  }
  const auto f = SweepFrequencies({100, 250, 100, 300, {}, "", false});
  EXPECT_EQ(f, (std::vector<std::int64_t>{100, 200, 250}));
}

class SweepOverRig : public ::testing::Test {
 protected:
  void SetUp() override {
    rigctld.Start();
    rigctld.Rigctl({"F", "7074000"});
    rigctld.Rigctl({"M", "USB", "2400"});
    rigctld.Rigctl({"L", "RFPOWER", "0.8"});
    rig = std::make_unique<Rig>(RigctldTarget(rigctld.Address()));
    watcher = std::make_unique<Rig>(RigctldTarget(rigctld.Address()));
  }
  // What a meter behind the rig sees: power only while keyed, and an antenna resonant at
  // 14.2 MHz.
  std::optional<TSweepReading> Meter() {
    if (!watcher->Ptt()) return TSweepReading{0, 0};
    const double offset = (watcher->Frequency() - 14200000) / 100000;
    return TSweepReading{10, 10 * offset * offset / (4 + offset * offset)};
  }
  void ExpectRestored() {
    EXPECT_FALSE(rigctld.Ptt());
    EXPECT_EQ(rigctld.Frequency(), 7074000);
    EXPECT_EQ(rigctld.Rigctl({"m"}).substr(0, 3), "USB");
    EXPECT_NEAR(std::stod(rigctld.Rigctl({"l", "RFPOWER"})), 0.8, 0.01);
  }
  test::RigctldProcess rigctld;
  std::unique_ptr<Rig> rig, watcher;
};

TEST_F(SweepOverRig, FindsTheResonanceAndRestoresTheRig) {
  SweepControl control;
  const auto outcome = RunSweep(
      *rig, {14000000, 14350000, 50000, 100, 0.1, "CW", false}, [&] { return Meter(); }, control);
  EXPECT_TRUE(outcome.Completed);
  EXPECT_EQ(outcome.RestoreError, "");
  ASSERT_EQ(outcome.Points.size(), 8u);
  const auto analysis = AnalyseSweep(outcome.Points);
  EXPECT_EQ(outcome.Points[*analysis.Minimum].FrequencyHz, 14200000);
  ExpectRestored();
}

TEST_F(SweepOverRig, AnAbortOrALostMeterUnkeysAndRestores) {
  for (const bool meterLost : {false, true}) {
    SweepControl control;
    int readings = 0;
    const auto outcome = RunSweep(
        *rig, {14000000, 14350000, 10000, 100, {}, "", false},
        [&]() -> std::optional<TSweepReading> {
          if (++readings == 2) {
            if (meterLost) return std::nullopt;
            // Escape, from the window's thread while the sweep dwells.
            std::thread([&] { control.Abort("Stopped by the operator"); }).detach();
          }
          return Meter();
        },
        control);
    EXPECT_FALSE(outcome.Completed);
    EXPECT_LE(outcome.Points.size(), 2u);
    EXPECT_FALSE(outcome.Stopped.empty());
    ExpectRestored();
  }
}

TEST_F(SweepOverRig, ALostRigEndsTheSweepWithItsReason) {
  SweepControl control;
  int readings = 0;
  const auto outcome = RunSweep(
      *rig, {14000000, 14350000, 10000, 100, {}, "", false},
      [&]() -> std::optional<TSweepReading> {
        if (++readings == 2) rigctld.Stop();
        return TSweepReading{10, 0.1};
      },
      control);
  EXPECT_FALSE(outcome.Completed);
  EXPECT_NE(outcome.Stopped.find("rigctld at"), std::string::npos);
  EXPECT_FALSE(outcome.RestoreError.empty());
}

}  // namespace
}  // namespace vemo

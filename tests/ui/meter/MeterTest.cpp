// SPDX-License-Identifier: GPL-3.0-or-later
// The forward-power meter: its layout, the fourteen scales and AutoRange's choices.
#include <gtest/gtest.h>

#include "ui/meter/DCDial.h"
#include "ui/meter/Meter.h"

namespace vemo {
namespace {

struct Meter : ::testing::Test {
  QWidget Panel;
  TDCDial* Dial = nullptr;
  void SetUp() override {
    Panel.resize(297, 200);
    Dial = new TDCDial(&Panel);
    InitMeter(*Dial);
    CurrentRange = 1;
    SetMeterRange(*Dial, 0);
  }
  void Apply(std::uint8_t Range) {
    CurrentRange = Range == 0 ? 1 : 0;
    SetMeterRange(*Dial, Range);
  }
};

TEST_F(Meter, InitMeterLaysOutAReadOnlyGaugeOf150DegreesWithFiveElements) {
  EXPECT_TRUE(Dial->ReadOnly());
  EXPECT_EQ(Dial->geometry(), QRect(5, 5, 287, 120));
  EXPECT_EQ(Dial->Center(), QPoint(143, 118));
  EXPECT_EQ(Dial->Radius(), 87);
  EXPECT_EQ(Dial->PositionToAngle(0), 165);
  EXPECT_EQ(Dial->PositionToAngle(Dial->MaxValue()), 15);
  ASSERT_EQ(Dial->TickSets().Count(), 2);
  ASSERT_EQ(Dial->LabelSets().Count(), 1);
  ASSERT_EQ(Dial->Ranges().Count(), 2);
  // Major ticks 69..77 px, minor 69..74, labels at 60, both bands 78..83.
  const TTickSet& Major = *Dial->TickSets().Items(0);
  const TTickSet& Minor = *Dial->TickSets().Items(1);
  EXPECT_EQ(Dial->RelativeToPixels(Major.Radius()), 69);
  EXPECT_EQ(Dial->RelativeToPixels(Major.Length()), 8);
  EXPECT_EQ(Dial->RelativeToPixels(Minor.Radius()), 69);
  EXPECT_EQ(Dial->RelativeToPixels(Minor.Length()), 5);
  EXPECT_EQ(Dial->RelativeToPixels(Dial->LabelSets().Items(0)->Radius()), 60);
  for (int i = 0; i < 2; ++i) {
    EXPECT_EQ(Dial->RelativeToPixels(Dial->Ranges().Items(i)->Radius()), 78);
    EXPECT_EQ(Dial->RelativeToPixels(Dial->Ranges().Items(i)->Thickness()), 5);
  }
}

TEST_F(Meter, EachScaleSetsFullScaleIntervalsAndBands) {
  const struct {
    int FullScale, Major, Minor, Labels, RedStart;
  } Rows[] = {{30, 5, 1, 5, 25},
              {60, 5, 1, 10, 50},
              {120, 10, 2, 20, 100},
              {300, 25, 5, 50, 250},
              {600, 50, 10, 100, 500},
              {1200, 100, 25, 200, 1000},
              {3000, 500, 100, 1000, 2500},
              {6000, 1000, 250, 1000, 5000},
              {12000, 1000, 250, 2000, 10000},
              {30000, 5000, 1000, 10000, 25000},
              {60000, 5000, 1250, 10000, 50000},
              {120000, 10000, 2500, 20000, 100000},
              {300000, 50000, 10000, 100000, 250000},
              {600000, 50000, 12500, 100000, 500000}};
  for (std::uint8_t Index = 0; Index < kMeterScaleCount; ++Index) {
    const auto& R = Rows[Index];
    Apply(Index);
    EXPECT_EQ(CurrentRange, Index);
    EXPECT_EQ(Dial->MaxValue(), R.FullScale) << int(Index);
    EXPECT_EQ(Dial->TickSets().Items(0)->Interval(), R.Major) << int(Index);
    EXPECT_EQ(Dial->TickSets().Items(1)->Interval(), R.Minor) << int(Index);
    EXPECT_EQ(Dial->LabelSets().Items(0)->Interval(), R.Labels) << int(Index);
    EXPECT_EQ(Dial->Ranges().Items(0)->StartValue(), 0);
    EXPECT_EQ(Dial->Ranges().Items(0)->EndValue(), R.RedStart) << int(Index);
    EXPECT_EQ(Dial->Ranges().Items(1)->StartValue(), R.RedStart) << int(Index);
    EXPECT_EQ(Dial->Ranges().Items(1)->EndValue(), R.FullScale) << int(Index);
    EXPECT_EQ(MeterUnitCaption(Index), Index < 6 ? "(W)" : "(KW)");
  }
  EXPECT_STREQ(MeterScale(6).Text, "3 Kilowatts");
  EXPECT_STREQ(MeterScale(13).Text, "600 Kilowatts");
}

TEST_F(Meter, SwitchingScalesKeepsThePointerWithinTheNewFullScale) {
  Apply(4);
  Dial->SetPosition(450);
  SetMeterRange(*Dial, 3);
  EXPECT_EQ(Dial->Position(), 300);
  SetMeterRange(*Dial, 4);
  EXPECT_EQ(Dial->Position(), 300);

  Dial->TickSets().Items(0)->SetInterval(7);
  SetMeterRange(*Dial, 4);  // already applied: nothing at all changes
  EXPECT_EQ(Dial->TickSets().Items(0)->Interval(), 7);

  Dial->SetPosition(250);
  SetMeterRange(*Dial, 20);  // no such scale: only the position is re-set
  EXPECT_EQ(CurrentRange, 4);
  EXPECT_EQ(Dial->MaxValue(), 600);
  EXPECT_EQ(Dial->Position(), 250);
}

TEST_F(Meter, AutoRangeStepsUpAtFullScaleAndDownOnlyBelowTheRedBand) {
  const struct {
    std::uint8_t From;
    int Watts;
    std::uint8_t Range;
    int Position;
  } Rows[] = {{0, 30, 1, 30},          {13, 28, 1, 28},          {1, 55, 1, 55},
              {1, 24, 0, 24},          {13, 700000, 13, 600000}, {0, 2000, 6, 2000},
              {0, 300000, 13, 300000}, {6, 2999, 6, 2999},       {7, 2499, 6, 2499},
              {7, 2500, 7, 2500},      {13, -5, 0, 0},           {0, 0, 0, 0}};
  for (const auto& R : Rows) {
    Apply(R.From);
    AutoRangeMeter(*Dial, R.Watts);
    EXPECT_EQ(CurrentRange, R.Range) << int(R.From) << " with " << R.Watts << " W";
    EXPECT_EQ(Dial->MaxValue(), MeterScale(R.Range).FullScale);
    EXPECT_EQ(Dial->Position(), R.Position) << int(R.From) << " with " << R.Watts << " W";
  }
}

}  // namespace
}  // namespace vemo

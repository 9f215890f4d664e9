// SPDX-License-Identifier: GPL-3.0-or-later
// Properties, setter rules, position arithmetic, input and failures of the dial control.
#include <gtest/gtest.h>

#include <QPainter>
#include <QPushButton>
#include <QTest>
#include <functional>
#include <string>

#include "ui/meter/DCAssert.h"
#include "ui/meter/DCDial.h"

namespace vemo {
namespace {

class OpenDial : public TDCDial {
 public:
  using TDCDial::PaintLabelSet;
  using TDCDial::PaintRange;
  using TDCDial::PaintTickSet;
};

void ExpectAssertion(const std::function<void()>& Action, const std::string& Text) {
  try {
    Action();
    ADD_FAILURE() << "no failure for: " << Text;
  } catch (const EAssertionFailed& Failure) {
    EXPECT_EQ(std::string(Failure.what()).rfind(Text + " (DCDial, line ", 0), 0u) << Failure.what();
  }
}

TEST(DCDial, DialCentresItsFaceGaugeSitsOnItsBaseLineAndRelativeRadiusFollowsItsRules) {
  TDCDial D;  // 100 x 100 with the defaults
  EXPECT_EQ(D.Center(), QPoint(50, 50));
  EXPECT_EQ(D.MaxRadius(), 49);
  EXPECT_EQ(D.Radius(), 36);
  EXPECT_EQ(D.Sweep(), 340);
  D.SetBounds(5, 5, 287, 120);
  D.SetStyle(dsGauge);
  EXPECT_EQ(D.Center(), QPoint(143, 118));
  EXPECT_EQ(D.MaxRadius(), 117);
  EXPECT_EQ(D.Radius(), 87);

  D.SetRelativeRadius(-101);
  EXPECT_EQ(D.RelativeRadius(), -75);
  D.SetRelativeRadius(-100);
  EXPECT_EQ(D.Radius(), 117);
  D.SetRelativeRadius(50);
  EXPECT_EQ(D.Radius(), 50);
  D.SetRelativeRadius(500);
  EXPECT_EQ(D.Radius(), 117);
  D.SetRelativeRadius(-50);
  EXPECT_EQ(D.Radius(), 58);
  D.SetRelativeRadius(0);
  EXPECT_EQ(D.Radius(), 58);
  D.SetBounds(0, 0, 80, 30);  // keeps its radius only up to what fits
  EXPECT_EQ(D.MaxRadius(), 27);
  EXPECT_EQ(D.Radius(), 27);
}

TEST(DCDial, AnglePropertiesNormaliseAndStyleSwitchesAdjustTheSpread) {
  TDCDial D;
  const struct { int Set, Stored; } Bases[] = {{-90, 270}, {720, 360}, {360, 360}, {45, 45}};
  for (const auto& B : Bases) {
    D.SetDialBase(B.Set);
    EXPECT_EQ(D.DialBase(), B.Stored) << B.Set;
  }
  D.SetDialBase(360);
  EXPECT_EQ(D.PositionToAngle(0), 350);  // as with a base of 0
  D.SetDialBase(270);

  D.SetStyle(dsGauge);
  EXPECT_EQ(D.DialSpread(), 200);
  D.SetDialSpread(210);
  D.SetStyle(dsDial);
  EXPECT_EQ(D.DialSpread(), 30);

  D.SetStyle(dsGauge);
  D.SetDialSpread(100);  // a gauge needs at least half the circle as its gap
  EXPECT_EQ(D.DialSpread(), 180);
  D.SetDialBase(90);
  ExpectAssertion([&] { D.SetDialSpread(100); },
                  "Error in call to TDCDial.SetDialSpread: When a DCDial is in dsGauge mode, the "
                  "DialSpread must be 180 degrees or greater");
  ExpectAssertion([&] { D.SetDialSpread(360); },
                  "TDCDial.CalculateRadius: DialSpread must be less than 360");
  EXPECT_EQ(D.DialSpread(), 180);
  EXPECT_EQ(D.Sweep(), 180);
}

TEST(DCDial, ScaleLimitsRefuseToCrossEachOther) {
  TDCDial D;
  D.SetMaxValue(0);
  D.SetMaxValue(-5);
  EXPECT_EQ(D.MaxValue(), 100);
  D.SetMinValue(100);
  D.SetMinValue(120);
  EXPECT_EQ(D.MinValue(), 0);
  D.SetMinValue(-20);
  D.SetMaxValue(30);
  EXPECT_EQ(D.MinValue(), -20);
  EXPECT_EQ(D.MaxValue(), 30);
}

TEST(DCDial, PositionsMapToAnglesBesideTheGap) {
  TDCDial D;
  EXPECT_EQ(D.PositionToAngle(0), 260);
  EXPECT_EQ(D.PositionToAngle(50), 90);
  EXPECT_EQ(D.PositionToAngle(100), 280);
  D.SetClockwise(false);
  EXPECT_EQ(D.PositionToAngle(0), 280);
  EXPECT_EQ(D.PositionToAngle(50), 90);
  for (int Outside : {-1, 101})
    ExpectAssertion(
        [&] { D.PositionToAngle(Outside); },
        "Error in call to TDCDial.PositionToAngle: Position must be in MinValue..MaxValue");
}

TEST(DCDial, AngleToPositionRoundTripsEveryPositionOfTheScale) {
  struct Setup {
    int Min, Max, Base, Spread;
    bool Clockwise;
    TStyle Style;
  };
  const Setup Setups[] = {{0, 100, 270, 20, true, dsDial},  {0, 100, 270, 20, false, dsDial},
                          {-50, 50, 360, 1, true, dsDial},  {0, 30, 270, 210, true, dsGauge},
                          {0, 340, 0, 20, true, dsDial},    {0, 600000, 270, 210, true, dsGauge},
                          {-7, 1200, 90, 90, false, dsDial}};
  for (const Setup& S : Setups) {
    TDCDial D;
    D.SetStyle(S.Style);
    D.SetDialBase(S.Base);
    D.SetDialSpread(S.Spread);
    D.SetClockwise(S.Clockwise);
    D.SetMaxValue(S.Max);
    D.SetMinValue(S.Min);
    const int Step = (S.Max - S.Min) / 2000 + 1;
    for (int P = S.Min; P <= S.Max; P += Step) {
      const int Angle = D.PositionToAngle(P);
      const int Back = D.AngleToPosition(Angle);
      if (S.Max - S.Min <= D.Sweep()) {
        ASSERT_EQ(Back, P) << S.Min << ".." << S.Max << " angle " << Angle;
      } else {
        ASSERT_EQ(D.PositionToAngle(Back), Angle) << P;
        ASSERT_LE(Back, P);
      }
    }
  }
}

TEST(DCDial, AnglesInTheGapGoToTheNearerEndOfTheScale) {
  TDCDial D;  // 0 at 260, 100 at 280, clockwise
  EXPECT_EQ(D.AngleToPosition(265), 0);
  EXPECT_EQ(D.AngleToPosition(275), 100);
  EXPECT_EQ(D.AngleToPosition(-45), D.AngleToPosition(315));
  EXPECT_EQ(D.AngleToPosition(90), 50);
}

TEST(DCDial, RunTimePositionsOutsideTheScaleAreRejectedButStillReported) {
  TDCDial D;
  int Changes = 0;
  D.OnChange = [&](TDCDial* Sender) {
    EXPECT_EQ(Sender, &D);
    ++Changes;
  };
  D.SetPosition(0);
  EXPECT_EQ(Changes, 0);
  D.SetPosition(40);
  EXPECT_EQ(D.Position(), 40);
  EXPECT_EQ(Changes, 1);
  D.SetPosition(101);
  EXPECT_EQ(D.Position(), 40);
  EXPECT_EQ(Changes, 2);

  D.SetDesigning(true);
  D.SetPosition(150);
  EXPECT_EQ(D.Position(), 100);
  EXPECT_EQ(Changes, 2);
}

TEST(DCDial, APositionStrandedByANarrowerScaleFailsTheNextMove) {
  TDCDial D;
  D.SetPosition(90);
  D.SetMaxValue(50);
  EXPECT_EQ(D.Position(), 90);
  ExpectAssertion(
      [&] { D.SetPosition(10); },
      "Error in call to TDCDial.PositionToAngle: Position must be in MinValue..MaxValue");
  EXPECT_EQ(D.Position(), 90);
}

TEST(DCDial, EveryCheckReportsItsOwnMessage) {
  OpenDial D;
  ExpectAssertion([&] { D.SetBounds(0, 0, 10, 100); },
                  "TDCDial.CalculateRadius: Width must be greater than 10");
  ExpectAssertion([&] { D.SetBounds(0, 0, 100, 10); },
                  "TDCDial.CalculateRadius: Height must be greater than 10");
  ExpectAssertion([&] { D.SetLabelSets(nullptr); },
                  "Error in call to TDCDial.SetLabelSets: New LabelSets object must not be nil");
  ExpectAssertion([&] { D.SetRanges(nullptr); },
                  "Error in call to TDCDial.SetRanges: New Ranges object must not be nil");
  ExpectAssertion([&] { D.SetTickSets(nullptr); },
                  "Error in call to TDCDial.SetTickSets: New TickSets object must not be nil");
  ExpectAssertion([&] { D.CopyDial(nullptr); },
                  "Error in TDCDial.CopyDial: Source must not be nil");
  QImage Image(20, 20, QImage::Format_RGB32);
  QPainter Canvas(&Image);
  ExpectAssertion([&] { D.PaintRange(Canvas, nullptr); },
                  "Error in call to TDCDial.PaintRange: Range must not be nil");
  ExpectAssertion([&] { D.PaintTickSet(Canvas, nullptr); },
                  "Error in call to TDCDial.PaintTickSet: TickSet must not be nil");
  ExpectAssertion([&] { D.PaintLabelSet(Canvas, nullptr); },
                  "Error in call to TDCDial.PaintLabelSet: LabelSet must not be nil");

  D.Ranges().Add(TRange());
  D.Ranges().Add(TRange());
  D.Ranges().Items(1)->SetCachedPolygon(std::make_unique<QPoint[]>(1), 0);
  ExpectAssertion([&] { D.ResetRanges(); },
                  "TDCDial.ResetRanges - Invalid cached range data, range 1");

  D.SetBounds(0, 0, 100, 100);
  TRange Tiny;
  Tiny.SetRadius(2);
  Tiny.SetThickness(2);
  D.Ranges().Clear();
  D.Ranges().Add(Tiny);  // a 340-degree ring this small needs more than 8 points per pixel
  ExpectAssertion(
      [&] { D.PaintRange(Canvas, D.Ranges().Items(0)); },
      "Error in TDCDial.PaintRange - PolyArc requires more points than were allocated.");
}

TEST(DCDial, ResizeEventsNeverThrowAndRaiseTheirEvents) {
  QWidget Parent;
  Parent.resize(300, 300);
  TDCDial D(&Parent);
  int Resizes = 0;
  int RadiusChanges = 0;
  D.OnResize = [&](TDCDial*) { ++Resizes; };
  D.OnRadiusChange = [&](TDCDial*) { ++RadiusChanges; };
  Parent.show();
  D.resize(200, 200);
  EXPECT_EQ(D.Radius(), 74);
  EXPECT_EQ(Resizes, 1);
  EXPECT_EQ(RadiusChanges, 1);
  D.resize(6, 6);  // too small for a dial: reported, not thrown through the event loop
  EXPECT_EQ(D.Radius(), 74);
  D.SetBounds(0, 0, 200, 100);
  EXPECT_EQ(Resizes, 2);
  EXPECT_EQ(D.Radius(), 36);
}

TEST(DCDial, KeysStepThePositionUnlessReadOnly) {
  TDCDial D;
  D.SetPosition(50);
  const struct {
    Qt::Key Key;
    int Expected;
  } Steps[] = {{Qt::Key_PageUp, 60}, {Qt::Key_PageDown, 50}, {Qt::Key_Left, 51},
               {Qt::Key_Up, 52},     {Qt::Key_Right, 51},    {Qt::Key_Down, 50}};
  for (const auto& S : Steps) {
    QTest::keyClick(&D, S.Key);
    EXPECT_EQ(D.Position(), S.Expected) << S.Key;
  }
  D.SetPosition(95);
  QTest::keyClick(&D, Qt::Key_PageUp);
  EXPECT_EQ(D.Position(), 95);
  D.SetReadOnly(true);
  QTest::keyClick(&D, Qt::Key_PageDown);
  EXPECT_EQ(D.Position(), 95);
  D.SetPosition(20);
  EXPECT_EQ(D.Position(), 20);
}

TEST(DCDial, ClicksOnTheFaceMoveThePointerAndClicksBesideItFallThrough) {
  QWidget Window;
  Window.resize(200, 200);
  QPushButton Beneath(&Window);
  Beneath.setGeometry(0, 0, 100, 100);
  TDCDial D(&Window);
  D.SetBounds(0, 0, 100, 100);
  int Clicks = 0;
  QObject::connect(&Beneath, &QPushButton::clicked, &Beneath, [&] { ++Clicks; });
  Window.show();

  EXPECT_FALSE(D.IsFacePoint(QPoint(5, 5)));
  EXPECT_TRUE(D.IsFacePoint(QPoint(50, 20)));
  QTest::mouseClick(&D, Qt::LeftButton, {}, QPoint(5, 5));
  EXPECT_EQ(Clicks, 1);
  EXPECT_EQ(D.Position(), 0);

  QTest::mouseClick(&D, Qt::LeftButton, {}, QPoint(50, 20));  // straight up: mid-scale
  EXPECT_EQ(D.Position(), 50);
  EXPECT_EQ(Clicks, 1);

  D.SetReadOnly(true);
  QTest::mouseClick(&D, Qt::LeftButton, {}, QPoint(80, 50));
  EXPECT_EQ(D.Position(), 50);
  D.SetDesigning(true);
  EXPECT_TRUE(D.IsFacePoint(QPoint(5, 5)));
}

TEST(DCDial, ThreeDLookSwitchesBetweenFlatAndBevelledBorders) {
  TDCDial D;
  D.SetCtl3D(false);
  EXPECT_EQ(D.BorderStyle(), bsNormal);
  D.SetCtl3D(true);
  EXPECT_EQ(D.BorderStyle(), bsRaised);
  D.SetBorderStyle(bsLowered);
  D.SetCtl3D(false);
  D.SetCtl3D(true);
  EXPECT_EQ(D.BorderStyle(), bsRaised);
}

TEST(DCDial, CopyDialTakesTheScaleButNotReadOnlyOrSize) {
  TDCDial Source;
  Source.SetStyle(dsGauge);
  Source.SetMaxValue(600);
  Source.SetPosition(450);
  Source.SetMarkerColor(clBlack);
  Source.SetReadOnly(true);
  Source.Ranges().Add(TRange());
  TDCDial D;
  D.SetBounds(0, 0, 287, 120);
  D.CopyDial(&Source);
  EXPECT_EQ(D.Style(), dsGauge);
  EXPECT_EQ(D.DialSpread(), 200);
  EXPECT_EQ(D.MaxValue(), 600);
  EXPECT_EQ(D.Position(), 450);
  EXPECT_EQ(D.MarkerColor(), clBlack);
  EXPECT_EQ(D.Ranges().Count(), 1);
  EXPECT_FALSE(D.ReadOnly());
  EXPECT_EQ(D.size(), QSize(287, 120));
  EXPECT_EQ(D.Radius(), 87);
}

TEST(DCDial, ChangingAnElementDiscardsTheCachedRangePolygons) {
  OpenDial D;
  D.Ranges().Add(TRange());
  D.TickSets().Add(TTickSet());
  QImage Image(100, 100, QImage::Format_RGB32);
  QPainter Canvas(&Image);
  D.PaintRange(Canvas, D.Ranges().Items(0));
  ASSERT_TRUE(D.Ranges().Items(0)->HasCachedPolygon());
  D.TickSets().Items(0)->SetColor(clRed);  // any item of any list repaints the dial
  EXPECT_FALSE(D.Ranges().Items(0)->HasCachedPolygon());

  D.PaintRange(Canvas, D.Ranges().Items(0));
  D.SetCacheRanges(false);
  EXPECT_FALSE(D.Ranges().Items(0)->HasCachedPolygon());
  D.PaintRange(Canvas, D.Ranges().Items(0));
  EXPECT_FALSE(D.Ranges().Items(0)->HasCachedPolygon());

  TDCRangeList Replacement;
  Replacement.Add(TRange());
  Replacement.Add(TRange());
  D.SetRanges(&Replacement);
  EXPECT_EQ(D.Ranges().Count(), 2);
  D.SetRanges(&D.Ranges());  // its own list: kept
  EXPECT_EQ(D.Ranges().Count(), 2);
}

}  // namespace
}  // namespace vemo

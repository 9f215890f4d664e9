// SPDX-License-Identifier: GPL-3.0-or-later
// Integer trigonometry, the first-octant staircase, arcs and polar points of the dial.
#include <gtest/gtest.h>

#include <QRect>
#include <array>
#include <climits>
#include <string>
#include <vector>

#include "ui/meter/DCAssert.h"
#include "ui/meter/DCGeometry.h"

namespace vemo {
namespace {

using Points = std::vector<QPoint>;

Points Arc(int Start, int End, int Radius, int Direction, QPoint Center = {0, 0}) {
  std::array<QPoint, 200> Buffer{};
  const int Count = PolyArc(Center, Start, End, Radius, Buffer.data(), 200, Direction);
  return Points(Buffer.begin(), Buffer.begin() + Count);
}

void ExpectAssertion(const std::function<void()>& Action, const std::string& Text) {
  try {
    Action();
    ADD_FAILURE() << "no failure for: " << Text;
  } catch (const EAssertionFailed& Failure) {
    const std::string Message = Failure.what();
    EXPECT_EQ(Message.rfind(Text + " (DCDial, line ", 0), 0u) << Message;
    EXPECT_EQ(Message.back(), ')');
  }
}

TEST(DCGeometry, TablesHoldRoundedSinesAndTangents) {
  const struct {
    int Index, Sin, Tan;
  } Rows[] = {{0, 0, 0},      {1, 4, 4},      {30, 128, 148},
              {45, 181, 256}, {46, 184, 265}, {89, 256, 14666}};
  for (const auto& R : Rows) {
    EXPECT_EQ(SinTable()[R.Index], R.Sin) << R.Index;
    EXPECT_EQ(TanTable()[R.Index], R.Tan) << R.Index;
  }
  EXPECT_EQ(SinTable()[90], 256);
  EXPECT_EQ(TanTable()[90], 2147483647);
}

TEST(DCGeometry, SineAndCosineCoverEveryQuadrantAndNormaliseAngles) {
  const struct {
    int Angle, Sin, Cos;
  } Rows[] = {{0, 0, 256},      {30, 128, 222},    {90, 256, 0},    {150, 128, -222},
              {180, 0, -256},   {210, -128, -222}, {270, -256, 0},  {300, -222, 128},
              {330, -128, 222}, {-30, -128, 222},  {390, 128, 222}, {-720, 0, 256}};
  for (const auto& R : Rows) {
    EXPECT_EQ(Sin256(R.Angle), R.Sin) << R.Angle;
    EXPECT_EQ(Cos256(R.Angle), R.Cos) << R.Angle;
  }
}

TEST(DCGeometry, ArcTangentPicksTheNearestDegreeAndKeepsTheUpperOnATie) {
  const struct {
    int V, Degrees;
  } Rows[] = {{0, 0},      {1, 0},      {2, 1},        {3, 1},        {-2, -1},      {256, 45},
              {-256, -45}, {14666, 89}, {1 << 30, 89}, {INT_MAX, 89}, {INT_MIN, -89}};
  for (const auto& R : Rows) EXPECT_EQ(ArcTan256(R.V), R.Degrees) << R.V;
}

TEST(DCGeometry, IntegerSquareRootIsTheLargestRootStrictlyBelow) {
  const struct {
    int N, Root;
  } Rows[] = {{0, 0},  {1, 0},  {2, 1},  {4, 1},   {5, 2},
              {-9, 2}, {10, 3}, {99, 9}, {100, 9}, {101, 10}};
  for (const auto& R : Rows) EXPECT_EQ(ISqrt(R.N), R.Root) << R.N;
}

TEST(DCGeometry, OctantsSplitAtMultiplesOf45WithTheLastReachingThrough360) {
  const struct {
    int Angle, Octant;
  } Rows[] = {{0, 0},   {44, 0},  {45, 1},  {224, 4}, {225, 5},
              {314, 6}, {315, 7}, {360, 7}, {-1, 7},  {405, 1}};
  for (const auto& R : Rows) EXPECT_EQ(AngleToOctant(R.Angle), R.Octant) << R.Angle;
}

TEST(DCGeometry, TranslateCoordsMirrorsAFirstOctantPointIntoEachOctant) {
  const QPoint Expected[] = {{5, 2},   {2, 5},   {-2, 5}, {-5, 2},
                             {-5, -2}, {-2, -5}, {2, -5}, {5, -2}};
  for (int Octant = 0; Octant < 8; ++Octant) {
    int X = 2;
    int Y = 5;
    TranslateCoords(Octant, X, Y);
    EXPECT_EQ(QPoint(X, Y), Expected[Octant]) << Octant;
  }
  for (int Bad : {-1, 8}) {
    int X = 0;
    int Y = 0;
    ExpectAssertion([&] { TranslateCoords(Bad, X, Y); },
                    "Error in call to TranslateCoords: Octant must be in 0..7");
  }
}

TEST(DCGeometry, FirstOctantTableIsAStaircaseWithCornersAndFailsBelowRadiusTwo) {
  EXPECT_EQ(FirstOctantTable(10), (Points{{0, 9}, {3, 9}, {4, 8}, {5, 7}, {6, 7}, {7, 5}}));
  EXPECT_EQ(FirstOctantTable(5), (Points{{0, 4}, {1, 4}, {2, 3}, {3, 2}}));
  EXPECT_EQ(FirstOctantTable(2), (Points{{0, 1}, {1, 0}}));
  for (int Radius = 2; Radius < 600; ++Radius)
    ASSERT_LE(FirstOctantTable(Radius).size(), static_cast<std::size_t>(Radius)) << Radius;
  for (int Bad : {1, 0, -3})
    ExpectAssertion([&] { FirstOctantTable(Bad); },
                    "Range check error in OrigPoints array of PolyArc");
}

TEST(DCGeometry, AngleToPointLandsOnTheStaircase) {
  const Points T = FirstOctantTable(10);
  const struct {
    int Angle;
    QPoint P;
  } Rows[] = {{0, {9, 0}},    {30, {7, 5}},   {90, {0, 9}},
              {180, {-9, 0}}, {270, {0, -9}}, {360, {9, 0}}};
  for (const auto& R : Rows) {
    QPoint P;
    AngleToPoint(R.Angle, 10, P, T.data(), static_cast<int>(T.size()));
    EXPECT_EQ(P, R.P) << R.Angle;
  }
  QPoint P;
  ExpectAssertion([&] { AngleToPoint(0, 10, P, nullptr, 0); },
                  "Error in call to AngleToPoint: Points pointer may not be nil");
}

TEST(DCGeometry, PolyArcWalksOctantsAndMergesCollinearPoints) {
  // Screen points about (0, 0): y grows downward.
  EXPECT_EQ(Arc(0, 45, 10, kCounterClockwise),
            (Points{{9, 0}, {9, -3}, {7, -5}, {7, -6}, {5, -7}, {7, -5}}));
  EXPECT_EQ(Arc(0, 90, 5, kCounterClockwise),
            (Points{{4, 0}, {4, -1}, {2, -3}, {3, -2}, {1, -4}, {0, -4}, {0, -4}}));
  EXPECT_EQ(Arc(180, 0, 5, kClockwise), (Points{{-4, 0},
                                                {-4, -1},
                                                {-2, -3},
                                                {-3, -2},
                                                {-1, -4},
                                                {1, -4},
                                                {3, -2},
                                                {2, -3},
                                                {3, -2},
                                                {4, 0}}));
  // Emitted points are offset from the centre with y flipped.
  EXPECT_EQ(Arc(0, 45, 10, kCounterClockwise, {100, 50}).back(), QPoint(107, 45));
}

TEST(DCGeometry, PolyArcWithBothEndsAtOneAngleGivesTheTwoEndPoints) {
  EXPECT_EQ(Arc(30, 30, 10, kCounterClockwise), (Points{{7, -5}, {7, -5}}));
  EXPECT_EQ(Arc(30, 30, 10, kClockwise), (Points{{7, -5}, {7, -5}}));
}

TEST(DCGeometry, PolyArcWhoseEndLiesJustBehindItsStartGoesAllTheWayRound) {
  for (int Direction : {kCounterClockwise, kClockwise}) {
    const Points P =
        Direction == kCounterClockwise ? Arc(30, 20, 10, Direction) : Arc(20, 30, 10, Direction);
    ASSERT_GT(P.size(), 20u);
    int MinX = 0, MaxX = 0, MinY = 0, MaxY = 0;
    for (const QPoint& Q : P) {
      MinX = std::min(MinX, Q.x());
      MaxX = std::max(MaxX, Q.x());
      MinY = std::min(MinY, Q.y());
      MaxY = std::max(MaxY, Q.y());
    }
    EXPECT_EQ(QRect(QPoint(MinX, MinY), QPoint(MaxX, MaxY)), QRect(QPoint(-9, -9), QPoint(9, 9)));
  }
}

TEST(DCGeometry, PolyArcReportsWhatItNeedsButStoresOnlyWhatFits) {
  std::array<QPoint, 5> Buffer;
  Buffer.fill(QPoint(-77, -77));
  EXPECT_EQ(PolyArc({0, 0}, 0, 90, 5, Buffer.data(), 3, kCounterClockwise), 7);
  EXPECT_EQ(Buffer[0], QPoint(4, 0));
  EXPECT_EQ(Buffer[1], QPoint(4, -1));
  EXPECT_EQ(Buffer[2], QPoint(2, -3));
  EXPECT_EQ(Buffer[3], QPoint(-77, -77));

  Buffer.fill(QPoint(-77, -77));
  ExpectAssertion(
      [&] {
        PolyArc({0, 0}, 0, 90, 1, Buffer.data(), 5, kCounterClockwise);
      },
      "Range check error in OrigPoints array of PolyArc");
  EXPECT_EQ(Buffer[0], QPoint(-77, -77));
  EXPECT_GT(PolyArc({0, 0}, 0, 90, 2, Buffer.data(), 5, kCounterClockwise), 0);
}

TEST(DCGeometry, PolarPointsConvertLazilyBothWays) {
  TPolar A;
  A.SetX(10);
  A.SetY(0);
  EXPECT_EQ(A.Angle(), 0);
  EXPECT_EQ(A.Radius(), 9);
  // Read back from the rounded polar values.
  EXPECT_EQ(A.X(), 9);

  TPolar Below;
  Below.SetX(0);
  Below.SetY(10);
  EXPECT_EQ(Below.Angle(), 270);

  TPolar Polar;
  Polar.SetAngle(90);
  Polar.SetRadius(100);
  EXPECT_EQ(Polar.X(), 0);
  EXPECT_EQ(Polar.Y(), -100);

  const struct { int X, Y, Angle; } Rows[] = {{-10, -10, 135}, {10, 10, -45}, {-10, 10, 225}};
  for (const auto& R : Rows) {
    TPolar P;
    P.SetX(R.X);
    P.SetY(R.Y);
    EXPECT_EQ(P.Angle(), R.Angle) << R.X << "," << R.Y;
  }
}

}  // namespace
}  // namespace vemo

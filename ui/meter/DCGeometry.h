// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Integer geometry of the dial: whole-degree trigonometry from two 91-entry tables scaled
// by 256, a subtractive square root, and circle outlines rasterised for one octant and
// mirrored into the other seven. Nothing here uses floating point once the tables exist.
//
// Angles are whole degrees counted counter-clockwise from the positive x axis with y
// pointing up ("math" orientation). Screen points have y pointing down.

#include <QPoint>
#include <array>
#include <cstdint>
#include <vector>

namespace vemo {

// 256 * sin(i degrees) for i = 0..89, rounded half to even; entry 90 is 256.
const std::array<std::int32_t, 91>& SinTable();
// 256 * tan(i degrees) for i = 0..89, rounded half to even; entry 90 is 2147483647.
const std::array<std::int32_t, 91>& TanTable();

int Sin256(int Angle);
int Cos256(int Angle);
// Whole-degree arctangent of V / 256, in -89..89.
int ArcTan256(int V);
// Largest j with j * j < |N|.
int ISqrt(int N);
// Octant 0..7 of an angle; 315..360 is octant 7.
int AngleToOctant(int Angle);
// Maps a first-octant point (x small, y large) into Octant. Octant must be 0..7.
void TranslateCoords(int Octant, int& X, int& Y);

// The staircase outline of a circle of Radius from the top toward 45 degrees, in math
// orientation with x increasing. Holds at most Radius points; every Radius below 2 would
// need more and fails.
std::vector<QPoint> FirstOctantTable(int Radius);

// The math-orientation point of the rasterised circle described by Points (a first-octant
// table of Count points for Radius) at Angle. Points must not be null.
void AngleToPoint(int Angle, int Radius, QPoint& P, const QPoint* Points, int Count);

inline constexpr int kClockwise = 0;
inline constexpr int kCounterClockwise = 1;

// Writes the screen points of the rasterised arc of Radius about Center from StartAngle to
// EndAngle (Direction kCounterClockwise or kClockwise) and returns how many points the arc
// needs. Only the first MaxPoints are stored; the caller compares the result with its
// capacity. Collinear points are merged as they are produced.
int PolyArc(QPoint Center, int StartAngle, int EndAngle, int Radius, QPoint* Points, int MaxPoints,
            int Direction);

// A point held both as (Angle, Radius) and as screen-oriented (X, Y) relative to an origin
// of the caller's choice; each side is recomputed lazily after the other one changed.
class TPolar {
 public:
  int Angle();
  int Radius();
  int X();
  int Y();
  void SetAngle(int Value);
  void SetRadius(int Value);
  void SetX(int Value);
  void SetY(int Value);

 private:
  void PolarToCartesian();
  void CartesianToPolar();

  int fAngle = 0;
  int fRadius = 0;
  int fX = 0;
  int fY = 0;
  bool fAngleChanged = false;
  bool fRadiusChanged = false;
  bool fXChanged = false;
  bool fYChanged = false;
};

// Screen offset from the centre of the point at Angle and Distance (polar to Cartesian).
QPoint PolarOffset(int Angle, int Distance);

}  // namespace vemo

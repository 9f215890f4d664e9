// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/meter/DCGeometry.h"

#include <cmath>
#include <cstdlib>
#include <numbers>

#include "ui/meter/DCAssert.h"

namespace vemo {

namespace {

// The only floating point of the dial: both tables are computed once, on first use, before
// anything is painted. nearbyint rounds halves to the even neighbour.
std::array<std::int32_t, 91> BuildTable(bool Tangent) {
  std::array<std::int32_t, 91> Table{};
  for (int i = 0; i < 90; ++i) {
    const double Rad = i * std::numbers::pi / 180.0;
    const double V = Tangent ? std::tan(Rad) : std::sin(Rad);
    Table[i] = static_cast<std::int32_t>(std::nearbyint(256.0 * V));
  }
  Table[90] = Tangent ? 2147483647 : 256;
  return Table;
}

// Into 0..359.
int Normalise359(int Angle) {
  Angle %= 360;
  return Angle < 0 ? Angle + 360 : Angle;
}

// Into 0..360; 360 stays 360 and marks the end of octant 7.
int Normalise360(int Angle) {
  if (Angle >= 0 && Angle <= 360) return Angle;
  return Normalise359(Angle);
}

// Whether walking point Q has reached (or passed) point Target in octant O. Within an
// octant x changes monotonically along the arc, so x alone decides.
bool Reached(int O, int Direction, QPoint Q, QPoint Target) {
  if (O < 4) {
    return (Q.x() <= Target.x() && Direction == kCounterClockwise) ||
           (Q.x() >= Target.x() && Direction == kClockwise);
  }
  return (Q.x() >= Target.x() && Direction == kCounterClockwise) ||
         (Q.x() <= Target.x() && Direction == kClockwise);
}

bool Collinear(QPoint B, QPoint A, QPoint P) {
  return (A.y() == P.y() && B.y() == P.y()) || (A.x() == P.x() && B.x() == P.x()) ||
         (A.x() - B.x() == P.x() - A.x() && A.y() - B.y() == P.y() - A.y());
}

}  // namespace

const std::array<std::int32_t, 91>& SinTable() {
  static const std::array<std::int32_t, 91> Table = BuildTable(false);
  return Table;
}

const std::array<std::int32_t, 91>& TanTable() {
  static const std::array<std::int32_t, 91> Table = BuildTable(true);
  return Table;
}

int Sin256(int Angle) {
  const auto& S = SinTable();
  const int A = Normalise359(Angle);
  if (A <= 90) return S[A];
  if (A <= 180) return S[180 - A];
  if (A <= 270) return -S[A - 180];
  return -S[360 - A];
}

int Cos256(int Angle) {
  const auto& S = SinTable();
  const int A = Normalise359(Angle);
  if (A <= 90) return S[90 - A];
  if (A <= 180) return -S[A - 90];
  if (A <= 270) return -S[270 - A];
  return S[A - 270];
}

int ArcTan256(int V) {
  const auto& T = TanTable();
  // |INT_MIN| does not fit an int; it is beyond every table entry either way.
  const std::int64_t M = std::llabs(static_cast<std::int64_t>(V));
  int i = 0;
  while (i < 89 && T[i] < M) ++i;
  if (i > 0 && i < 89 && (M - T[i - 1]) < (T[i] - M)) --i;
  return V < 0 ? -i : i;
}

int ISqrt(int N) {
  std::int64_t M = std::llabs(static_cast<std::int64_t>(N));
  int j = 0;
  std::int64_t Odd = 1;
  while (Odd < M) {
    M -= Odd;
    ++j;
    Odd += 2;
  }
  return j;
}

int AngleToOctant(int Angle) {
  const int A = Normalise360(Angle);
  return A < 315 ? A / 45 : 7;
}

void TranslateCoords(int Octant, int& X, int& Y) {
  DC_ASSERT(Octant >= 0 && Octant <= 7, "Error in call to TranslateCoords: Octant must be in 0..7");
  const bool Swap = Octant == 0 || Octant == 3 || Octant == 4 || Octant == 7;
  const bool NegX = Octant >= 2 && Octant <= 5;
  const bool NegY = Octant >= 4;
  if (Swap) std::swap(X, Y);
  if (NegX) X = -X;
  if (NegY) Y = -Y;
}

std::vector<QPoint> FirstOctantTable(int Radius) {
  std::vector<QPoint> T;
  const auto Store = [&](int X, int Y) {
    DC_ASSERT(static_cast<int>(T.size()) < Radius,
              "Range check error in OrigPoints array of PolyArc");
    T.emplace_back(X, Y);
  };
  if (Radius > 0) T.reserve(static_cast<std::size_t>(Radius));
  Store(0, Radius - 1);
  const std::int64_t RR = static_cast<std::int64_t>(Radius) * Radius;
  for (int X = 0;; ++X) {
    const int Y = ISqrt(static_cast<int>(RR - static_cast<std::int64_t>(X + 1) * (X + 1)));
    if (Y != T.back().y()) {
      // Keep the corner of the step so the outline stays a staircase.
      if (T.back().x() != X - 1) Store(X - 1, T.back().y());
      Store(X, Y);
    }
    if (Y < X) break;
  }
  return T;
}

void AngleToPoint(int Angle, int Radius, QPoint& P, const QPoint* Points, int Count) {
  Angle = Normalise360(Angle);
  DC_ASSERT(Points != nullptr && Count > 0,
            "Error in call to AngleToPoint: Points pointer may not be nil");
  const int Oct = AngleToOctant(Angle);
  int Folded = Angle;
  switch (Oct / 2) {
    case 1:
      Folded = 180 - Angle;
      break;
    case 2:
      Folded = Angle - 180;
      break;
    case 3:
      Folded = 360 - Angle;
      break;
    default:
      break;
  }
  int X = (Folded > 45 ? Cos256(Folded) : Sin256(Folded)) * Radius / 256;
  // The folded point never lies beyond the table's last x; should rounding ever put it there,
  // the table's end is the nearest outline point.
  int Y = Points[Count - 1].y();
  for (int i = 0; i < Count; ++i) {
    if (Points[i].x() >= X) {
      Y = Points[i].y();
      break;
    }
  }
  TranslateCoords(Oct, X, Y);
  P = QPoint(X, Y);
}

int PolyArc(QPoint Center, int StartAngle, int EndAngle, int Radius, QPoint* Points, int MaxPoints,
            int Direction) {
  StartAngle = Normalise360(StartAngle);
  EndAngle = Normalise360(EndAngle);
  const std::vector<QPoint> T = FirstOctantTable(Radius);
  const int N = static_cast<int>(T.size());
  QPoint S;
  QPoint E;
  AngleToPoint(StartAngle, Radius, S, T.data(), N);
  AngleToPoint(EndAngle, Radius, E, T.data(), N);
  const int OctS = AngleToOctant(StartAngle);
  const int OctE = AngleToOctant(EndAngle);
  const bool Ccw = Direction == kCounterClockwise;

  // An end lying behind the start within the same octant is reached only after a full turn.
  const bool FullTurn = OctS == OctE && (Ccw ? EndAngle < StartAngle : EndAngle > StartAngle);
  int StepsLeft = FullTurn ? 8 : (Ccw ? OctE - OctS + 8 : OctS - OctE + 8) % 8;

  // The whole merged sequence is kept so that merging never depends on what fitted into the
  // caller's buffer; the result counts every point the arc needs.
  std::vector<QPoint> Out;
  Out.reserve(static_cast<std::size_t>(8 * N + 2));
  const auto ToScreen = [&](QPoint Q) { return QPoint(Center.x() + Q.x(), Center.y() - Q.y()); };
  const auto EmitRegular = [&](QPoint Q) {
    const QPoint P = ToScreen(Q);
    if (Out.size() > 1 && Collinear(Out[Out.size() - 2], Out.back(), P)) Out.pop_back();
    Out.push_back(P);
  };

  int O = OctS;
  bool StartOctant = true;
  for (;;) {
    const bool HandlesEnd = O == OctE && StepsLeft == 0;
    const bool Rising = (O % 2 == 0) == Ccw;
    const int Step = Rising ? 1 : -1;
    int J = Rising ? 0 : N - 1;
    const auto Mapped = [&](int Index) {
      int X = T[Index].x();
      int Y = T[Index].y();
      TranslateCoords(O, X, Y);
      return QPoint(X, Y);
    };
    if (StartOctant) {
      while (J >= 0 && J < N && !Reached(O, Direction, Mapped(J), S)) J += Step;
      Out.push_back(ToScreen(S));
      StartOctant = false;
    }
    bool Finished = false;
    for (; J >= 0 && J < N; J += Step) {
      const QPoint Q = Mapped(J);
      if (HandlesEnd && Reached(O, Direction, Q, E)) {
        Out.push_back(ToScreen(E));
        Finished = true;
        break;
      }
      EmitRegular(Q);
    }
    if (HandlesEnd) {
      if (!Finished) Out.push_back(ToScreen(E));
      break;
    }
    O = Ccw ? (O + 1) % 8 : (O + 7) % 8;
    --StepsLeft;
  }

  const int Count = static_cast<int>(Out.size());
  for (int i = 0; i < Count && i < MaxPoints; ++i) Points[i] = Out[static_cast<std::size_t>(i)];
  return Count;
}

int TPolar::Angle() {
  if (fXChanged || fYChanged) CartesianToPolar();
  return fAngle;
}

int TPolar::Radius() {
  if (fXChanged || fYChanged) CartesianToPolar();
  return fRadius;
}

int TPolar::X() {
  if (fAngleChanged || fRadiusChanged) PolarToCartesian();
  return fX;
}

int TPolar::Y() {
  if (fAngleChanged || fRadiusChanged) PolarToCartesian();
  return fY;
}

void TPolar::SetAngle(int Value) {
  if (Value == fAngle) return;
  fAngle = Value;
  fAngleChanged = true;
}

void TPolar::SetRadius(int Value) {
  if (Value == fRadius) return;
  fRadius = Value;
  fRadiusChanged = true;
}

void TPolar::SetX(int Value) {
  if (Value == fX) return;
  fX = Value;
  fXChanged = true;
}

void TPolar::SetY(int Value) {
  if (Value == fY) return;
  fY = Value;
  fYChanged = true;
}

void TPolar::PolarToCartesian() {
  fAngleChanged = fRadiusChanged = fXChanged = fYChanged = false;
  fX = Cos256(fAngle) * fRadius / 256;
  fY = Sin256(fAngle) * (-fRadius) / 256;
}

void TPolar::CartesianToPolar() {
  const int YUp = -fY;
  if (fX == 0) {
    fAngle = YUp > 0 ? 90 : 270;
  } else {
    fAngle = ArcTan256(static_cast<int>(static_cast<std::int64_t>(YUp) * 256 / fX));
    if (fX < 0) fAngle += 180;
  }
  fRadius = ISqrt(fX * fX + YUp * YUp);
  fXChanged = fYChanged = false;
  // A later read of X or Y recomputes them from the rounded polar values.
  fAngleChanged = true;
}

QPoint PolarOffset(int Angle, int Distance) {
  TPolar P;
  P.SetAngle(Angle);
  P.SetRadius(Distance);
  return QPoint(P.X(), P.Y());
}

}  // namespace vemo

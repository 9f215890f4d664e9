// SPDX-License-Identifier: GPL-3.0-or-later
// Painting of TDCDial: the face, ranges, tick sets, label sets and marker, the full paint
// into the dial's images, and the partial repaint that moves the pointer.
//
// Lines and polygons are drawn without antialiasing, on the integer points the geometry
// gives; text keeps the platform's smoothing.

#include <QPaintEngine>
#include <QPaintEvent>
#include <QPainter>
#include <QtDebug>
#include <algorithm>
#include <cstdlib>

#include "ui/meter/DCAssert.h"
#include "ui/meter/DCDial.h"

namespace vemo {

namespace {

QPen LinePen(const QColor& Color) {
  return QPen(Color, 1);
}

// The whole-degree direction from the centre towards a screen offset.
int DirectionOf(int Dx, int Dy) {
  TPolar Polar;
  Polar.SetX(Dx);
  Polar.SetY(Dy);
  const int Angle = Polar.Angle() % 360;
  return Angle < 0 ? Angle + 360 : Angle;
}

// An arc of Box from direction From counter-clockwise to direction To, in whole degrees.
void DrawArc(QPainter& Canvas, const QRect& Box, int From, int To) {
  int Span = (To - From) % 360;
  if (Span < 0) Span += 360;
  Canvas.drawArc(Box, From * 16, Span * 16);
}

// The pixels of an image drawn at Ratio that show the logical Area.
QRectF DeviceRect(const QRect& Area, qreal Ratio) {
  return QRectF(QPointF(Area.topLeft()) * Ratio, QSizeF(Area.size()) * Ratio);
}

// The bounding box from (Left, Top) to (Right, Bottom), both corners included.
QRect Box(int Left, int Top, int Right, int Bottom) {
  return QRect(QPoint(Left, Top), QPoint(Right, Bottom));
}

}  // namespace

QColor ColorToQColor(TColor Color, const QPalette& Palette) {
  const auto Bits = static_cast<std::uint32_t>(Color);
  if ((Bits & 0xFF000000u) == 0x80000000u) {
    switch (Bits & 0xFFu) {
      case 8:
        return Palette.color(QPalette::WindowText);
      case 15:
        return Palette.color(QPalette::Button);
      case 16:
        return Palette.color(QPalette::Dark);
      case 20:
        return Palette.color(QPalette::Light);
      default:
        return Palette.color(QPalette::Window);
    }
  }
  return QColor(static_cast<int>(Bits & 0xFF), static_cast<int>((Bits >> 8) & 0xFF),
                static_cast<int>((Bits >> 16) & 0xFF));
}

QColor TDCDial::ToQColor(TColor Value) const {
  const QColor Resolved = ColorToQColor(Value, palette());
  if (Value != clWindowText) return Resolved;
  // Without a face drawn, the control's own colour lies beneath the elements.
  const TColor Beneath = fBorderStyle == bsUserDrawn ? fColor : fDialColor;
  const int Face = qGray(ColorToQColor(Beneath, palette()).rgb());
  if (std::abs(qGray(Resolved.rgb()) - Face) >= 128) return Resolved;
  return Face >= 128 ? QColor(Qt::black) : QColor(Qt::white);
}

void DrawBevel(QPainter& Canvas, const QRect& Rect, bool Raised, bool Inner,
               const QPalette& Palette) {
  const int L = Rect.left();
  const int T = Rect.top();
  const int R = Rect.left() + Rect.width();
  const int B = Rect.top() + Rect.height();
  const QColor White = ColorToQColor(clWhite, Palette);
  const QColor Black = ColorToQColor(clBlack, Palette);
  Canvas.setPen(LinePen(Raised ? White : Black));
  const QPoint UpperLeft[] = {{L, B - 1}, {L, T}, {R - 1, T}};
  Canvas.drawPolyline(UpperLeft, 3);
  Canvas.setPen(LinePen(Raised ? Black : White));
  const QPoint LowerRight[] = {{R - 1, T}, {R - 1, B - 1}, {L, B - 1}};
  Canvas.drawPolyline(LowerRight, 3);
  if (!Inner) return;
  const QColor Highlight = ColorToQColor(clBtnHighlight, Palette);
  const QColor Shadow = ColorToQColor(clBtnShadow, Palette);
  Canvas.setPen(LinePen(Raised ? Highlight : Shadow));
  const QPoint InnerUpperLeft[] = {{L + 1, B - 2}, {L + 1, T + 1}, {R - 2, T + 1}};
  Canvas.drawPolyline(InnerUpperLeft, 3);
  Canvas.setPen(LinePen(Raised ? Shadow : Highlight));
  const QPoint InnerLowerRight[] = {{R - 2, T + 1}, {R - 2, B - 2}, {L + 1, B - 2}};
  Canvas.drawPolyline(InnerLowerRight, 3);
}

// --- full paint ---------------------------------------------------------------------------

void TDCDial::Paint(QPainter& Canvas) {
  PaintOuterRanges(Canvas);
  PaintOuterTickSets(Canvas);
  PaintOuterLabelSets(Canvas);
  PaintDialFace(Canvas);
  PaintInnerRanges(Canvas);
  PaintInnerTickSets(Canvas);
  PaintInnerLabelSets(Canvas);
}

void TDCDial::RenderImage(qreal Ratio) {
  if (size().isEmpty()) return;
  // Marked painted before painting: a failing element is reported once, not on every expose.
  fImageValid = true;
  fImageSize = size();
  // Drawn in device pixels, so text and arcs stay sharp where a logical pixel is several.
  fFace = QImage((QSizeF(size()) * Ratio).toSize(), QImage::Format_RGB32);
  fFace.setDevicePixelRatio(Ratio);
  try {
    {
      QPainter Face(&fFace);
      Face.fillRect(rect(), ColorToQColor(fColor, palette()));
      Paint(Face);
    }
    fImage = fFace.copy();
    if (isEnabled()) {
      QPainter Canvas(&fImage);
      PaintPeak(Canvas);
      PaintMarker(Canvas);
    }
  } catch (const Exception& Failure) {
    qWarning("%s", Failure.what());
    fImage = fFace.copy();
  }
}

void TDCDial::paintEvent(QPaintEvent* Event) {
  QPainter Screen(this);
  if (!Screen.isActive()) return;
  // The device actually painted (the window's backing store, or the target of a render or
  // grab) knows its pixel ratio; the widget knows only its screen's.
  const qreal Ratio = Screen.paintEngine()->paintDevice()->devicePixelRatio();
  if (!fImageValid || fImageSize != size() || fImage.devicePixelRatio() != Ratio)
    RenderImage(Ratio);
  if (fImage.isNull()) return;
  for (const QRect& Area : Event->region())
    Screen.drawImage(QRectF(Area), fImage, DeviceRect(Area, Ratio));
}

// --- pointer ------------------------------------------------------------------------------

QRect TDCDial::MarkerRect(int AtPosition) const {
  // A user-drawn marker may reach anywhere on the control.
  if (fMarkerStyle == msUserDrawn) return rect();
  const QPoint Tip = fCenter + PolarOffset(PositionToAngle(AtPosition), fRadius - 2);
  // A pixel of margin all round: where a logical pixel is several, the line's ends reach
  // half a pixel beyond its end points.
  const QRect Ends = QRect(fCenter, QSize(1, 1)).united(QRect(Tip, QSize(1, 1)));
  return Ends.adjusted(-1, -1, 1, 1);
}

void TDCDial::MovePointer(int Value) {
  // The stored position must lie on the scale; checked before anything changes.
  PositionToAngle(fPosition);
  if (!fImageValid) {
    // A full paint is due anyway and will draw the pointer where it now stands.
    fPosition = Value;
    return;
  }
  const QRect OldRect = MarkerRect(fPosition);
  {
    QPainter Canvas(&fImage);
    FixDialFace(Canvas, fPosition);
    fPosition = Value;
    if (isEnabled()) {
      // The restored face may have taken a piece of the peak marker with it.
      if (PeakShown() && PeakRect().intersects(OldRect)) PaintPeak(Canvas);
      PaintMarker(Canvas);
    }
  }
  update(QRegion(OldRect).united(MarkerRect(fPosition)));
}

// --- peak marker --------------------------------------------------------------------------

bool TDCDial::PeakShown() const {
  return fPeakPosition >= fMinValue && fPeakPosition <= fMaxValue;
}

QRect TDCDial::PeakRect() const {
  const int Angle = PositionToAngle(fPeakPosition);
  const QPoint Outer = fCenter + PolarOffset(Angle, fRadius - 2);
  const QPoint Inner = fCenter + PolarOffset(Angle, fRadius * 2 / 3);
  return QRect(Outer, QSize(1, 1)).united(QRect(Inner, QSize(1, 1))).adjusted(-2, -2, 2, 2);
}

void TDCDial::PaintPeak(QPainter& Canvas) {
  if (!PeakShown()) return;
  // Only the outer third of a radius: the pointer stays the thing to read.
  const int Angle = PositionToAngle(fPeakPosition);
  QPen Pen = LinePen(ToQColor(fPeakColor));
  Pen.setWidth(2);
  Canvas.setPen(Pen);
  Canvas.drawLine(fCenter + PolarOffset(Angle, fRadius * 2 / 3),
                  fCenter + PolarOffset(Angle, fRadius - 2));
}

void TDCDial::SetPeakPosition(int Value) {
  if (Value == fPeakPosition) return;
  if (!fImageValid || !isEnabled()) {
    // The next full paint draws it where it then stands.
    fPeakPosition = Value;
    return;
  }
  QRegion Changed;
  {
    QPainter Canvas(&fImage);
    if (PeakShown()) {
      const QRect Old = PeakRect();
      Canvas.drawImage(QRectF(Old), fFace, DeviceRect(Old, fFace.devicePixelRatio()));
      Changed += Old;
    }
    fPeakPosition = Value;
    if (PeakShown()) {
      PaintPeak(Canvas);
      Changed += PeakRect();
    }
    // The pointer lies over the peak marker wherever they cross.
    if (Changed.intersects(MarkerRect(fPosition))) PaintMarker(Canvas);
  }
  update(Changed);
}

void TDCDial::SetPeakColor(TColor Value) {
  if (Value == fPeakColor) return;
  fPeakColor = Value;
  if (!fImageValid || !isEnabled() || !PeakShown()) return;
  {
    QPainter Canvas(&fImage);
    PaintPeak(Canvas);
    PaintMarker(Canvas);
  }
  update(PeakRect().united(MarkerRect(fPosition)));
}

void TDCDial::FixDialFace(QPainter& Canvas, int OldPosition) {
  const int OldAngle = PositionToAngle(OldPosition);
  // Everything the old pointer covered, the face and the elements on it, comes back from the
  // face image as the full paint left it.
  const QRect Covered = MarkerRect(OldPosition);
  Canvas.drawImage(QRectF(Covered), fFace, DeviceRect(Covered, fFace.devicePixelRatio()));
  if (OnFixDialFace) OnFixDialFace(this, Canvas, fCenter, OldAngle);
}

void TDCDial::PaintMarker(QPainter& Canvas) {
  const int Angle = PositionToAngle(fPosition);
  if (fMarkerStyle == msUserDrawn) {
    DrawMarker(Canvas, Angle);
    return;
  }
  Canvas.setPen(LinePen(ToQColor(fMarkerColor)));
  Canvas.drawLine(fCenter, fCenter + PolarOffset(Angle, fRadius - 2));
}

void TDCDial::SetMarkerColor(TColor Value) {
  if (Value == fMarkerColor) return;
  fMarkerColor = Value;
  if (!fImageValid || !isEnabled()) return;
  {
    QPainter Canvas(&fImage);
    PaintMarker(Canvas);
  }
  update(MarkerRect(fPosition));
}

// --- face ---------------------------------------------------------------------------------

void TDCDial::PaintDialFace(QPainter& Canvas) {
  if (fBorderStyle != bsUserDrawn) {
    const int R = fRadius;
    const int Cx = fCenter.x();
    const int Cy = fCenter.y();
    const QColor Face = ColorToQColor(fDialColor, palette());
    const bool Raised = fBorderStyle == bsRaised;
    const bool Bevelled = fBorderStyle == bsRaised || fBorderStyle == bsLowered;
    const QColor White = ToQColor(clWhite);
    const QColor Black = ToQColor(clBlack);
    const QColor Highlight = ToQColor(clBtnHighlight);
    const QColor Shadow = ToQColor(clBtnShadow);
    Canvas.setPen(LinePen(Face));
    Canvas.setBrush(Face);
    if (fStyle == dsDial) {
      const QRect Outer = Box(Cx - R, Cy - R, Cx + R, Cy + R);
      Canvas.drawEllipse(Outer);
      if (Bevelled) {
        // Split along the control's diagonal: the upper-left half catches the light.
        const int TopRight = DirectionOf(width() - Cx, -Cy);
        const int BottomLeft = DirectionOf(-Cx, height() - Cy);
        const QRect Inner = Outer.adjusted(1, 1, -1, -1);
        Canvas.setPen(LinePen(Raised ? White : Black));
        DrawArc(Canvas, Outer, TopRight, BottomLeft);
        Canvas.setPen(LinePen(Raised ? Black : White));
        DrawArc(Canvas, Outer, BottomLeft, TopRight);
        Canvas.setPen(LinePen(Raised ? Highlight : Shadow));
        DrawArc(Canvas, Inner, TopRight, BottomLeft);
        Canvas.setPen(LinePen(Raised ? Shadow : Highlight));
        DrawArc(Canvas, Inner, BottomLeft, TopRight);
      }
    } else {
      const int Capacity = 4 * R;
      std::vector<QPoint> HalfDisc(static_cast<std::size_t>(std::max(Capacity, 0)));
      const int Count = PolyArc(fCenter, 180, 0, R, HalfDisc.data(), Capacity, kClockwise);
      Canvas.drawPolygon(HalfDisc.data(), std::min(Count, Capacity));
      Canvas.drawLine(Cx - R, Cy, Cx + R, Cy);
      if (fBorderStyle == bsNormal) {
        // Smooths the staircase edge of the polygon.
        DrawArc(Canvas, Box(Cx - R, Cy - R, Cx + R, Cy + R), 0, 180);
      } else {
        const QRect Inner = Box(Cx - R + 1, Cy - R + 1, Cx + R - 1, Cy + R - 1);
        Canvas.setPen(LinePen(Raised ? White : Black));
        DrawArc(Canvas, Inner, 45, 225);
        Canvas.setPen(LinePen(Raised ? Shadow : Highlight));
        DrawArc(Canvas, Inner, 225, 45);
        Canvas.drawLine(Cx - R + 1, Cy + 1, Cx + R - 1, Cy + 1);
        Canvas.setPen(LinePen(Raised ? Black : White));
        Canvas.drawLine(Cx - R + 1, Cy + 2, Cx + R - 1, Cy + 2);
      }
    }
  }
  DrawDialFace(Canvas);
}

// --- element passes -----------------------------------------------------------------------

void TDCDial::PaintOuterRanges(QPainter& Canvas) {
  for (int i = 0; i < fRanges->Count(); ++i) {
    TRange* R = fRanges->Items(i);
    if (RelativeToPixels(R->Radius()) + RelativeToPixels(R->Thickness()) >= fRadius)
      PaintRange(Canvas, R);
  }
}

void TDCDial::PaintInnerRanges(QPainter& Canvas) {
  for (int i = 0; i < fRanges->Count(); ++i) {
    TRange* R = fRanges->Items(i);
    if (RelativeToPixels(R->Radius()) + RelativeToPixels(R->Thickness()) < fRadius)
      PaintRange(Canvas, R);
  }
}

void TDCDial::PaintOuterTickSets(QPainter& Canvas) {
  for (int i = 0; i < fTickSets->Count(); ++i) {
    TTickSet* T = fTickSets->Items(i);
    if (RelativeToPixels(T->Radius()) + RelativeToPixels(T->Length()) >= fRadius)
      PaintTickSet(Canvas, T);
  }
}

void TDCDial::PaintInnerTickSets(QPainter& Canvas) {
  for (int i = 0; i < fTickSets->Count(); ++i) {
    TTickSet* T = fTickSets->Items(i);
    if (RelativeToPixels(T->Radius()) < fRadius) PaintTickSet(Canvas, T);
  }
}

void TDCDial::PaintOuterLabelSets(QPainter& Canvas) {
  for (int i = 0; i < fLabelSets->Count(); ++i) {
    TLabelSet* L = fLabelSets->Items(i);
    if (RelativeToPixels(L->Radius()) > fRadius) PaintLabelSet(Canvas, L);
  }
}

void TDCDial::PaintInnerLabelSets(QPainter& Canvas) {
  for (int i = 0; i < fLabelSets->Count(); ++i) {
    TLabelSet* L = fLabelSets->Items(i);
    if (RelativeToPixels(L->Radius()) <= fRadius) PaintLabelSet(Canvas, L);
  }
}

// --- elements -----------------------------------------------------------------------------

void TDCDial::PaintRange(QPainter& Canvas, TRange* Range) {
  DC_ASSERT(Range != nullptr, "Error in call to TDCDial.PaintRange: Range must not be nil");
  Canvas.setPen(LinePen(ToQColor(Range->BorderColor())));
  Canvas.setBrush(ToQColor(Range->Color()));
  if (Range->HasCachedPolygon()) {
    Canvas.drawPolygon(Range->CachedPoints(), Range->CachedCount());
    return;
  }
  const int Start = Limit(Range->StartValue());
  const int End = Limit(Range->EndValue());
  // A0 to A1 runs counter-clockwise whichever way the values increase.
  const int A0 = PositionToAngle(fClockwise ? End : Start);
  const int A1 = PositionToAngle(fClockwise ? Start : End);
  const int Inner = RelativeToPixels(Range->Radius());
  const int Outer = Inner + RelativeToPixels(Range->Thickness());
  const int Capacity = 8 * Outer;
  auto Buffer = std::make_unique<QPoint[]>(static_cast<std::size_t>(std::max(Capacity, 0)));
  int Count = PolyArc(fCenter, A0, A1, Outer, Buffer.get(), Capacity, kCounterClockwise);
  const int Stored = std::clamp(Count, 0, std::max(Capacity, 0));
  Count += PolyArc(fCenter, A1, A0, Inner, Buffer.get() + Stored, std::max(Capacity - Count, 0),
                   kClockwise);
  DC_ASSERT(Count <= Capacity,
            "Error in TDCDial.PaintRange - PolyArc requires more points than were allocated.");
  Canvas.drawPolygon(Buffer.get(), Count);
  if (!fCacheRanges) return;
  auto Cached = std::make_unique<QPoint[]>(static_cast<std::size_t>(Count));
  std::copy(Buffer.get(), Buffer.get() + Count, Cached.get());
  Range->SetCachedPolygon(std::move(Cached), Count);
}

void TDCDial::PaintTickSet(QPainter& Canvas, TTickSet* TickSet) {
  DC_ASSERT(TickSet != nullptr, "Error in call to TDCDial.PaintTickSet: TickSet must not be nil");
  Canvas.setPen(LinePen(ToQColor(TickSet->Color())));
  const int Interval = TickSet->Interval();
  std::int64_t V = Limit(TickSet->StartValue());
  do {
    const int Position = static_cast<int>(V);
    TPolar P1;
    P1.SetAngle(PositionToAngle(Position));
    P1.SetRadius(RelativeToPixels(TickSet->Radius()));
    const QPoint Inner(P1.X(), P1.Y());
    switch (TickSet->TickStyle()) {
      case tsUserDrawn:
        DrawTick(Canvas, Position, Inner, TickSet->TickSetID());
        break;
      case tsLine: {
        TPolar P2;
        P2.SetAngle(P1.Angle());
        P2.SetRadius(RelativeToPixels(TickSet->Length()) + P1.Radius());
        Canvas.drawLine(fCenter + Inner, fCenter + QPoint(P2.X(), P2.Y()));
        break;
      }
      case tsRaised:
      case tsLowered: {
        const int Size = std::max(RelativeToPixels(TickSet->Length()), 2);
        const int H = Size / 2;
        const QPoint At = fCenter + Inner;
        const QRect Bevel(QPoint(At.x() - H, At.y() - H), QSize(2 * H, 2 * H));
        DrawBevel(Canvas, Bevel, TickSet->TickStyle() == tsRaised, false, palette());
        break;
      }
    }
    V += Interval;
  } while (Interval != 0 && V >= fMinValue && V <= fMaxValue);
}

void TDCDial::PaintLabelSet(QPainter& Canvas, TLabelSet* LabelSet) {
  DC_ASSERT(LabelSet != nullptr,
            "Error in call to TDCDial.PaintLabelSet: LabelSet must not be nil");
  Canvas.setBrush(Qt::NoBrush);
  Canvas.setBackgroundMode(Qt::TransparentMode);
  Canvas.setFont(LabelSet->Font().ToQFont());
  Canvas.setPen(LinePen(ToQColor(LabelSet->Font().Color())));
  const QFontMetrics Metrics = Canvas.fontMetrics();
  const int Radius = RelativeToPixels(LabelSet->Radius());
  const int Interval = LabelSet->Interval();
  std::int64_t V = Limit(LabelSet->StartValue());
  do {
    const int Position = static_cast<int>(V);
    const QPoint P = PolarOffset(PositionToAngle(Position), Radius);
    QString Text = QString::number(Position);
    LabelPosition(Position, Text, LabelSet->LabelSetID());
    const int W = Metrics.horizontalAdvance(Text);
    const int H = Metrics.height();
    const QPoint TopLeft = fCenter + P - QPoint(W / 2, H / 2);
    Canvas.drawText(TopLeft.x(), TopLeft.y() + Metrics.ascent(), Text);
    V += Interval;
  } while (Interval != 0 && V >= fMinValue && V <= fMaxValue);
}

}  // namespace vemo

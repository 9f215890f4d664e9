// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/meter/DCDial.h"

#include <QApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QtDebug>
#include <algorithm>
#include <limits>

#include "ui/meter/DCAssert.h"

namespace vemo {

namespace {

// Into 0..360: 360 itself stays 360.
int NormaliseDegrees(int Value) {
  while (Value < 0) Value += 360;
  while (Value > 360) Value -= 360;
  return Value;
}

int Saturate(std::int64_t Value) {
  return static_cast<int>(std::clamp<std::int64_t>(Value, std::numeric_limits<int>::min(),
                                                   std::numeric_limits<int>::max()));
}

}  // namespace

TDCDial::TDCDial(QWidget* Parent)
    : QWidget(Parent),
      fLabelSets(std::make_unique<TDCLabelSetList>()),
      fRanges(std::make_unique<TDCRangeList>()),
      fTickSets(std::make_unique<TDCTickSetList>()) {
  const auto Hook = [this](TDCList* List) { ListChanged(List); };
  fLabelSets->OnChange = Hook;
  fRanges->OnChange = Hook;
  fTickSets->OnChange = Hook;
  setFocusPolicy(Qt::StrongFocus);
  setAttribute(Qt::WA_OpaquePaintEvent);
  resize(100, 100);
  CalculateRadius();
}

TDCDial::~TDCDial() {
  fAlive.reset();
  fLabelSets->OnChange = nullptr;
  fRanges->OnChange = nullptr;
  fTickSets->OnChange = nullptr;
}

// --- properties ---------------------------------------------------------------------------

void TDCDial::SetBorderStyle(TBorderStyle Value) {
  if (Value == fBorderStyle) return;
  fBorderStyle = Value;
  Invalidate();
}

void TDCDial::SetCacheRanges(bool Value) {
  if (Value == fCacheRanges) return;
  fCacheRanges = Value;
  if (!Value) ResetRanges();
}

void TDCDial::SetClockwise(bool Value) {
  if (Value == fClockwise) return;
  fClockwise = Value;
  Invalidate();
}

void TDCDial::SetDialBase(int Value) {
  Value = NormaliseDegrees(Value);
  if (Value == fDialBase) return;
  fDialBase = Value;
  Invalidate();
}

void TDCDial::SetDialColor(TColor Value) {
  if (Value == fDialColor) return;
  fDialColor = Value;
  Invalidate();
}

void TDCDial::SetDialSpread(int Value) {
  Value = NormaliseDegrees(Value);
  // Checked before storing, so a rejected spread leaves the dial as it was.
  DC_ASSERT(Value < 360, "TDCDial.CalculateRadius: DialSpread must be less than 360");
  if (fStyle == dsGauge && Value < 180) {
    DC_ASSERT(fDialBase >= 180,
              "Error in call to TDCDial.SetDialSpread: When a DCDial is in dsGauge mode, the "
              "DialSpread must be 180 degrees or greater");
    Value = 180;
  }
  if (Value == fDialSpread) return;
  fDialSpread = Value;
  CalculateRadius();
  Invalidate();
}

void TDCDial::SetLabelSets(const TDCLabelSetList* Value) {
  DC_ASSERT(Value != nullptr,
            "Error in call to TDCDial.SetLabelSets: New LabelSets object must not be nil");
  fLabelSets->Assign(Value);
  Invalidate();
}

void TDCDial::SetRanges(const TDCRangeList* Value) {
  DC_ASSERT(Value != nullptr,
            "Error in call to TDCDial.SetRanges: New Ranges object must not be nil");
  fRanges->Assign(Value);
  Invalidate();
}

void TDCDial::SetTickSets(const TDCTickSetList* Value) {
  DC_ASSERT(Value != nullptr,
            "Error in call to TDCDial.SetTickSets: New TickSets object must not be nil");
  fTickSets->Assign(Value);
  Invalidate();
}

void TDCDial::SetMarkerStyle(TMarkerStyle Value) {
  if (Value == fMarkerStyle) return;
  fMarkerStyle = Value;
  // The pointer on show was drawn in the old style; the next move could not erase it.
  Invalidate();
}

void TDCDial::SetMaxValue(int Value) {
  if (Value == fMaxValue || Value <= fMinValue) return;
  fMaxValue = Value;
  Invalidate();
}

void TDCDial::SetMinValue(int Value) {
  if (Value == fMinValue || Value >= fMaxValue) return;
  fMinValue = Value;
  Invalidate();
}

void TDCDial::SetPosition(int Value) {
  if (Value == fPosition) return;
  if (fDesigning) {
    fPosition = Limit(Value);
    Invalidate();
    return;
  }
  if (Value >= fMinValue && Value <= fMaxValue) MovePointer(Value);
  Change();
}

void TDCDial::SetRelativeRadius(int Value) {
  if (Value < -100 || Value > 1000 || Value == fRelativeRadius) return;
  fRelativeRadius = static_cast<TRelativeRadius>(Value);
  CalculateRadius();
  Invalidate();
}

void TDCDial::SetStyle(TStyle Value) {
  if (Value == fStyle) return;
  fStyle = Value;
  if (Value == dsDial && fDialSpread > 180) fDialSpread -= 180;
  CalculateRadius();
  Invalidate();
}

void TDCDial::SetColor(TColor Value) {
  if (Value == fColor) return;
  fColor = Value;
  Invalidate();
}

void TDCDial::SetCtl3D(bool Value) {
  if (Value == fCtl3D) return;
  fCtl3D = Value;
  if (Value && (fBorderStyle == bsUserDrawn || fBorderStyle == bsNormal))
    SetBorderStyle(bsRaised);
  else if (!Value && (fBorderStyle == bsRaised || fBorderStyle == bsLowered))
    SetBorderStyle(bsNormal);
}

void TDCDial::SetBounds(int Left, int Top, int Width, int Height) {
  setGeometry(Left, Top, Width, Height);
  SizeChanged();
}

// --- geometry -----------------------------------------------------------------------------

int TDCDial::Limit(int Value) const {
  return std::clamp(Value, fMinValue, fMaxValue);
}

int TDCDial::RelativeToPixels(int Value) const {
  return Value <= 0 ? fRadius * (-Value) / 100 : Value;
}

int TDCDial::PositionToAngle(int Position) const {
  DC_ASSERT(Position >= fMinValue && Position <= fMaxValue,
            "Error in call to TDCDial.PositionToAngle: Position must be in MinValue..MaxValue");
  const std::int64_t Span = static_cast<std::int64_t>(fMaxValue) - fMinValue;
  const int Offset =
      static_cast<int>((static_cast<std::int64_t>(Position) - fMinValue) * fSweep / Span);
  const int Half = fDialSpread / 2;
  int Angle = fClockwise ? fDialBase - Half - Offset : Offset + Half + fDialBase;
  // A base of 360 with no gap can reach 720; reduce fully so the result is always 0..359.
  Angle %= 360;
  return Angle < 0 ? Angle + 360 : Angle;
}

int TDCDial::AngleToPosition(int Angle) const {
  const int StartAngle = PositionToAngle(fMinValue);
  int D = (fClockwise ? StartAngle - Angle : Angle - StartAngle) % 360;
  if (D < 0) D += 360;
  if (D > fSweep) return D - fSweep <= 360 - D ? fMaxValue : fMinValue;
  // Several positions share one whole-degree angle when the scale is longer than the sweep;
  // the smallest of them is the one whose angle the pointer shows. For shorter scales this
  // is exactly the position the angle came from.
  const std::int64_t Span = static_cast<std::int64_t>(fMaxValue) - fMinValue;
  const std::int64_t Steps = (static_cast<std::int64_t>(D) * Span + fSweep - 1) / fSweep;
  return static_cast<int>(std::min<std::int64_t>(fMinValue + Steps, fMaxValue));
}

void TDCDial::CalculateRadius() {
  DC_ASSERT(width() > 10, "TDCDial.CalculateRadius: Width must be greater than 10");
  DC_ASSERT(height() > 10, "TDCDial.CalculateRadius: Height must be greater than 10");
  DC_ASSERT(fDialSpread < 360, "TDCDial.CalculateRadius: DialSpread must be less than 360");
  const int OldRadius = fRadius;
  if (fStyle == dsDial) {
    fCenter.setY(height() / 2);
  } else {
    fCenter.setY(height() - 2);
    if (fDialSpread < 180) SetDialSpread(fDialSpread + 180);
  }
  fCenter.setX(width() / 2);
  fSweep = 360 - fDialSpread;
  fMaxRadius = fCenter.y() > fCenter.x() ? fCenter.x() - 1 : fCenter.y() - 1;
  if (fRelativeRadius < 0)
    fRadius = std::min(fMaxRadius * (-fRelativeRadius) / 100, fMaxRadius);
  else if (fRelativeRadius == 0)
    fRadius = std::min(fRadius, fMaxRadius);
  else
    fRadius = std::min<int>(fRelativeRadius, fMaxRadius);
  fCalculatedSize = size();
  if (fRadius != OldRadius) RadiusChange();
  ResetRanges();
}

void TDCDial::ResetRanges() {
  for (int i = 0; i < fRanges->Count(); ++i) {
    TRange* Range = fRanges->Items(i);
    if (!Range->HasCachedPolygon()) continue;
    DC_ASSERT(Range->CachedCount() >= 1,
              "TDCDial.ResetRanges - Invalid cached range data, range " + std::to_string(i));
    Range->FreeCachedPolygon();
  }
}

void TDCDial::Invalidate() {
  ResetRanges();
  fImageValid = false;
  update();
}

void TDCDial::CopyDial(const TDCDial* Source) {
  DC_ASSERT(Source != nullptr, "Error in TDCDial.CopyDial: Source must not be nil");
  fBorderStyle = Source->fBorderStyle;
  fCacheRanges = Source->fCacheRanges;
  fClockwise = Source->fClockwise;
  fDialBase = Source->fDialBase;
  fDialColor = Source->fDialColor;
  fDialSpread = Source->fDialSpread;
  fLabelSets->Assign(Source->fLabelSets.get());
  fLargeChange = Source->fLargeChange;
  fMarkerColor = Source->fMarkerColor;
  fMarkerStyle = Source->fMarkerStyle;
  fMaxValue = Source->fMaxValue;
  fMinValue = Source->fMinValue;
  fPosition = Source->fPosition;
  fRadius = Source->fRadius;
  fRanges->Assign(Source->fRanges.get());
  fRelativeRadius = Source->fRelativeRadius;
  fSmallChange = Source->fSmallChange;
  fStyle = Source->fStyle;
  fTickSets->Assign(Source->fTickSets.get());
  CalculateRadius();
  Invalidate();
}

bool TDCDial::IsFacePoint(QPoint Point) const {
  if (fDesigning) return true;
  const int Dx = Point.x() - fCenter.x();
  const int Dy = Point.y() - fCenter.y();
  return isVisible() && ISqrt(Dx * Dx + Dy * Dy) <= fRadius;
}

// --- list notifications and events --------------------------------------------------------

void TDCDial::ListChanged(TDCList* List) {
  // Adding a label set elsewhere copies its handler, so a handler may outlive this dial; it
  // reaches the dial only while the dial's lifetime token is alive.
  const auto Handler = [this, Alive = std::weak_ptr<const void>(fAlive)](void (TDCDial::*React)()) {
    return [this, Alive, React] {
      if (!Alive.expired()) (this->*React)();
    };
  };
  if (List == fLabelSets.get()) {
    for (int i = 0; i < fLabelSets->Count(); ++i)
      fLabelSets->Items(i)->OnChange = Handler(&TDCDial::LabelSetChanged);
  } else if (List == fRanges.get()) {
    for (int i = 0; i < fRanges->Count(); ++i)
      fRanges->Items(i)->OnChange = Handler(&TDCDial::RangeChanged);
  } else if (List == fTickSets.get()) {
    for (int i = 0; i < fTickSets->Count(); ++i)
      fTickSets->Items(i)->OnChange = Handler(&TDCDial::TickSetChanged);
  }
  Invalidate();
}

void TDCDial::LabelSetChanged() {
  Invalidate();
}
void TDCDial::RangeChanged() {
  Invalidate();
}
void TDCDial::TickSetChanged() {
  Invalidate();
}

void TDCDial::Change() {
  if (OnChange) OnChange(this);
}

void TDCDial::DrawDialFace(QPainter& Canvas) {
  if (OnDrawDialFace) OnDrawDialFace(this, Canvas, fCenter);
}

void TDCDial::DrawMarker(QPainter& Canvas, int Angle) {
  if (OnDrawMarker) OnDrawMarker(this, Canvas, fCenter, Angle);
}

void TDCDial::DrawTick(QPainter& Canvas, int nPosition, QPoint TickPos, int TickSetID) {
  if (OnDrawTick) OnDrawTick(this, Canvas, nPosition, TickPos, TickSetID);
}

void TDCDial::LabelPosition(int nPosition, QString& LabelStr, int LabelSetID) {
  if (OnLabelPosition) OnLabelPosition(this, nPosition, LabelStr, LabelSetID);
}

void TDCDial::RadiusChange() {
  if (OnRadiusChange) OnRadiusChange(this);
}

void TDCDial::Resize() {
  if (OnResize) OnResize(this);
}

// --- streaming ----------------------------------------------------------------------------

void TDCDial::WriteElements(TDCWriter& Writer) const {
  for (const TDCList* List :
       {static_cast<const TDCList*>(fLabelSets.get()), static_cast<const TDCList*>(fRanges.get()),
        static_cast<const TDCList*>(fTickSets.get())}) {
    if (List->Count() == 0) continue;
    Writer.WritePropName(QString::fromLatin1(List->PropertyName()));
    List->WriteData(Writer);
  }
  Writer.WriteListEnd();
}

void TDCDial::ReadElements(TDCReader& Reader) {
  while (!Reader.EndOfList()) {
    const QString Name = Reader.ReadPropName();
    TDCList* List = nullptr;
    for (TDCList* Candidate :
         {static_cast<TDCList*>(fLabelSets.get()), static_cast<TDCList*>(fRanges.get()),
          static_cast<TDCList*>(fTickSets.get())})
      if (Name == QLatin1String(Candidate->PropertyName())) List = Candidate;
    if (List == nullptr) throw EReadError("Property " + Name.toStdString() + " does not exist");
    List->ReadData(Reader);
  }
  Reader.ReadListEnd();
}

// --- input --------------------------------------------------------------------------------

template <class F>
void TDCDial::Guarded(F&& Action) {
  try {
    Action();
  } catch (const Exception& Failure) {
    qWarning("%s", Failure.what());
  }
}

void TDCDial::SetPositionFromPoint(int X, int Y) {
  TPolar Polar;
  Polar.SetX(X - fCenter.x());
  Polar.SetY(Y - fCenter.y());
  SetPosition(AngleToPosition(Polar.Angle()));
}

void TDCDial::keyPressEvent(QKeyEvent* Event) {
  if (!fReadOnly) {
    std::int64_t Step = 0;
    switch (Event->key()) {
      case Qt::Key_PageUp:
        Step = fLargeChange;
        break;
      case Qt::Key_PageDown:
        Step = -static_cast<std::int64_t>(fLargeChange);
        break;
      case Qt::Key_Left:
      case Qt::Key_Up:
        Step = fSmallChange;
        break;
      case Qt::Key_Right:
      case Qt::Key_Down:
        Step = -static_cast<std::int64_t>(fSmallChange);
        break;
      default:
        break;
    }
    if (Step != 0) {
      Guarded([&] { SetPosition(Saturate(fPosition + Step)); });
      Event->accept();
      return;
    }
  }
  QWidget::keyPressEvent(Event);
}

// Off the face the control is transparent to the mouse: a press there, and the moves and
// release that belong to it, go to the widget lying beneath.
bool TDCDial::ForwardMouseEvent(QMouseEvent* Event) {
  const QEvent::Type Type = Event->type();
  if (Type == QEvent::MouseButtonPress || Type == QEvent::MouseButtonDblClick) {
    fForwardTarget = nullptr;
    if (IsFacePoint(Event->position().toPoint())) return false;
    QWidget* Top = window();
    if (Top == this) return false;
    setAttribute(Qt::WA_TransparentForMouseEvents, true);
    QWidget* Beneath = Top->childAt(Top->mapFromGlobal(Event->globalPosition().toPoint()));
    setAttribute(Qt::WA_TransparentForMouseEvents, false);
    fForwardTarget = Beneath != nullptr ? Beneath : Top;
  }
  QWidget* Target = fForwardTarget;
  if (Target == nullptr) return false;
  if (Type == QEvent::MouseButtonRelease && Event->buttons() == Qt::NoButton)
    fForwardTarget = nullptr;
  QMouseEvent Copy(Type, Target->mapFromGlobal(Event->globalPosition()), Event->scenePosition(),
                   Event->globalPosition(), Event->button(), Event->buttons(), Event->modifiers(),
                   Event->pointingDevice());
  QApplication::sendEvent(Target, &Copy);
  Event->accept();
  return true;
}

void TDCDial::mousePressEvent(QMouseEvent* Event) {
  if (ForwardMouseEvent(Event)) return;
  if (!fReadOnly && Event->button() == Qt::LeftButton) {
    Guarded([&] {
      SetPositionFromPoint(Event->position().toPoint().x(), Event->position().toPoint().y());
    });
    Event->accept();
    return;
  }
  QWidget::mousePressEvent(Event);
}

void TDCDial::mouseMoveEvent(QMouseEvent* Event) {
  if (ForwardMouseEvent(Event)) return;
  if (!fReadOnly && (Event->buttons() & Qt::LeftButton)) {
    Guarded([&] {
      SetPositionFromPoint(Event->position().toPoint().x(), Event->position().toPoint().y());
    });
    Event->accept();
    return;
  }
  QWidget::mouseMoveEvent(Event);
}

void TDCDial::mouseReleaseEvent(QMouseEvent* Event) {
  if (ForwardMouseEvent(Event)) return;
  QWidget::mouseReleaseEvent(Event);
}

void TDCDial::mouseDoubleClickEvent(QMouseEvent* Event) {
  if (ForwardMouseEvent(Event)) return;
  QWidget::mouseDoubleClickEvent(Event);
}

// --- size and state changes ---------------------------------------------------------------

void TDCDial::SizeChanged() {
  // A size already calculated (for instance by SetBounds while hidden) is not handled twice.
  if (size() == fCalculatedSize) return;
  CalculateRadius();
  Resize();
  Invalidate();
}

void TDCDial::resizeEvent(QResizeEvent* Event) {
  QWidget::resizeEvent(Event);
  Guarded([this] { SizeChanged(); });
}

void TDCDial::changeEvent(QEvent* Event) {
  if (Event->type() == QEvent::EnabledChange || Event->type() == QEvent::PaletteChange)
    Invalidate();
  QWidget::changeEvent(Event);
}

}  // namespace vemo

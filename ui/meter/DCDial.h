// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// TDCDial: an integer value, Position, shown as a pointer on a round dial (dsDial) or a
// half-round gauge (dsGauge). The scale is decorated by three owned lists of elements placed
// in position units: tick sets, label sets and coloured ranges. The dial can be driven by
// keyboard and mouse, or made ReadOnly and driven by the program.
//
// The dial paints into its own image and shows that image. A full paint (after Invalidate)
// draws the scale and face into a face image and the pointer over a copy of it. Moving the
// pointer at run time erases the old pointer by restoring the face beneath it from the face
// image, draws the new pointer, and only those two rectangles reach the screen. The images
// are painted at the pixel ratio of the device they are shown on.
//
// A second, thin marker, the peak, may stand on the scale's rim beneath the pointer. It is
// repainted the same way: face restored under the old one, new one drawn, two rectangles out.

#include <QImage>
#include <QPointer>
#include <QWidget>
#include <functional>
#include <memory>

#include "ui/meter/DCGeometry.h"
#include "ui/meter/DCLists.h"
#include "ui/meter/DCStream.h"
#include "ui/meter/DCTypes.h"

class QPainter;

namespace vemo {

class TDCDial;

using TDialNotifyEvent = std::function<void(TDCDial* Sender)>;
using TDrawDialFaceEvent = std::function<void(TDCDial* Sender, QPainter& Canvas, QPoint Center)>;
using TDrawMarkerEvent =
    std::function<void(TDCDial* Sender, QPainter& Canvas, QPoint Center, int Angle)>;
// TickPos is relative to the centre, in screen orientation.
using TDrawTickEvent = std::function<void(TDCDial* Sender, QPainter& Canvas, int nPosition,
                                          QPoint TickPos, int TickSetID)>;
using TFixDialFaceEvent =
    std::function<void(TDCDial* Sender, QPainter& Canvas, QPoint Center, int OldAngle)>;
using TLabelPositionEvent =
    std::function<void(TDCDial* Sender, int nPosition, QString& LabelStr, int LabelSetID)>;

// The system colours resolved from Palette; other colours are 0x00BBGGRR.
QColor ColorToQColor(TColor Color, const QPalette& Palette);

// A two-colour rectangle outline over Rect (right and bottom exclusive), raised or lowered,
// with a second pair of lines one pixel inside when Inner.
void DrawBevel(QPainter& Canvas, const QRect& Rect, bool Raised, bool Inner,
               const QPalette& Palette);

class TDCDial : public QWidget {
  Q_OBJECT

 public:
  explicit TDCDial(QWidget* Parent = nullptr);
  ~TDCDial() override;

  TBorderStyle BorderStyle() const { return fBorderStyle; }
  bool CacheRanges() const { return fCacheRanges; }
  bool Clockwise() const { return fClockwise; }
  int DialBase() const { return fDialBase; }
  TColor DialColor() const { return fDialColor; }
  int DialSpread() const { return fDialSpread; }
  TDCLabelSetList& LabelSets() { return *fLabelSets; }
  const TDCLabelSetList& LabelSets() const { return *fLabelSets; }
  int LargeChange() const { return fLargeChange; }
  TColor MarkerColor() const { return fMarkerColor; }
  TMarkerStyle MarkerStyle() const { return fMarkerStyle; }
  int MaxRadius() const { return fMaxRadius; }
  int MaxValue() const { return fMaxValue; }
  int MinValue() const { return fMinValue; }
  int Position() const { return fPosition; }
  // kNoPeak (or any value outside MinValue..MaxValue) shows no peak marker.
  static constexpr int kNoPeak = -1;
  int PeakPosition() const { return fPeakPosition; }
  TColor PeakColor() const { return fPeakColor; }
  int Radius() const { return fRadius; }
  TDCRangeList& Ranges() { return *fRanges; }
  const TDCRangeList& Ranges() const { return *fRanges; }
  bool ReadOnly() const { return fReadOnly; }
  TRelativeRadius RelativeRadius() const { return fRelativeRadius; }
  int SmallChange() const { return fSmallChange; }
  TStyle Style() const { return fStyle; }
  TDCTickSetList& TickSets() { return *fTickSets; }
  const TDCTickSetList& TickSets() const { return *fTickSets; }
  // The control's own background outside the face.
  TColor Color() const { return fColor; }
  bool Ctl3D() const { return fCtl3D; }
  QPoint Center() const { return fCenter; }
  int Sweep() const { return fSweep; }
  // Design time: Position is clamped instead of rejected, and the whole control takes
  // the mouse. The program itself never sets it.
  bool Designing() const { return fDesigning; }

  void SetBorderStyle(TBorderStyle Value);
  void SetCacheRanges(bool Value);
  void SetClockwise(bool Value);
  void SetDialBase(int Value);
  void SetDialColor(TColor Value);
  void SetDialSpread(int Value);
  void SetLabelSets(const TDCLabelSetList* Value);
  void SetLargeChange(int Value) { fLargeChange = Value; }
  void SetMarkerColor(TColor Value);
  void SetMarkerStyle(TMarkerStyle Value);
  void SetMaxValue(int Value);
  void SetMinValue(int Value);
  // Run time: a value inside MinValue..MaxValue moves the pointer with a partial repaint;
  // any other value is rejected. OnChange follows either way (not for the current value).
  void SetPosition(int Value);
  void SetRanges(const TDCRangeList* Value);
  // Moves (or shows, or hides) the peak marker with a partial repaint.
  void SetPeakPosition(int Value);
  void SetPeakColor(TColor Value);
  void SetReadOnly(bool Value) { fReadOnly = Value; }
  // Below -100 (or above 1000) is ignored.
  void SetRelativeRadius(int Value);
  void SetSmallChange(int Value) { fSmallChange = Value; }
  void SetStyle(TStyle Value);
  void SetTickSets(const TDCTickSetList* Value);
  void SetColor(TColor Value);
  void SetCtl3D(bool Value);
  void SetDesigning(bool Value) { fDesigning = Value; }
  // Moves and sizes the control; a new size recomputes the radius at once, even while the
  // control is hidden.
  void SetBounds(int Left, int Top, int Width, int Height);

  // The screen angle (0..359) of a position inside MinValue..MaxValue.
  int PositionToAngle(int Position) const;
  // The position shown at Angle: the smallest position whose angle it is; angles in the dead
  // gap give the nearer end of the scale.
  int AngleToPosition(int Angle) const;
  void CalculateRadius();
  void ResetRanges();
  // Discards the range polygons and the painted image; the next paint draws everything.
  void Invalidate();
  void CopyDial(const TDCDial* Source);
  int RelativeToPixels(int Value) const;
  // Whether a point in client coordinates belongs to the control for mouse input.
  bool IsFacePoint(QPoint Point) const;

  // The non-empty element lists as named properties, closed by an end marker.
  void WriteElements(TDCWriter& Writer) const;
  // Replaces each list found in the stream.
  void ReadElements(TDCReader& Reader);

  TDialNotifyEvent OnChange;
  TDrawDialFaceEvent OnDrawDialFace;
  TDrawMarkerEvent OnDrawMarker;
  TDrawTickEvent OnDrawTick;
  TFixDialFaceEvent OnFixDialFace;
  TLabelPositionEvent OnLabelPosition;
  TDialNotifyEvent OnRadiusChange;
  TDialNotifyEvent OnResize;

 protected:
  virtual void LabelSetChanged();
  virtual void ListChanged(TDCList* List);
  virtual void RangeChanged();
  virtual void TickSetChanged();
  virtual void Change();
  virtual void DrawMarker(QPainter& Canvas, int Angle);
  virtual void DrawTick(QPainter& Canvas, int nPosition, QPoint TickPos, int TickSetID);
  virtual void LabelPosition(int nPosition, QString& LabelStr, int LabelSetID);
  virtual void PaintDialFace(QPainter& Canvas);
  virtual void PaintInnerLabelSets(QPainter& Canvas);
  virtual void PaintInnerRanges(QPainter& Canvas);
  virtual void PaintInnerTickSets(QPainter& Canvas);
  virtual void PaintLabelSet(QPainter& Canvas, TLabelSet* LabelSet);
  virtual void PaintMarker(QPainter& Canvas);
  virtual void PaintOuterLabelSets(QPainter& Canvas);
  virtual void PaintOuterRanges(QPainter& Canvas);
  virtual void PaintOuterTickSets(QPainter& Canvas);
  virtual void PaintRange(QPainter& Canvas, TRange* Range);
  virtual void PaintTickSet(QPainter& Canvas, TTickSet* TickSet);
  virtual void RadiusChange();
  // The full paint of everything beneath the pointer: elements outside the face, the face,
  // elements on the face. The pointer is drawn over it separately.
  virtual void Paint(QPainter& Canvas);

  void DrawDialFace(QPainter& Canvas);
  void FixDialFace(QPainter& Canvas, int OldPosition);
  void Resize();
  void SetPositionFromPoint(int X, int Y);

  void paintEvent(QPaintEvent* Event) override;
  void resizeEvent(QResizeEvent* Event) override;
  void keyPressEvent(QKeyEvent* Event) override;
  void mousePressEvent(QMouseEvent* Event) override;
  void mouseMoveEvent(QMouseEvent* Event) override;
  void mouseReleaseEvent(QMouseEvent* Event) override;
  void mouseDoubleClickEvent(QMouseEvent* Event) override;
  void changeEvent(QEvent* Event) override;

 private:
  // Resolves the colour of an element drawn over the face. The desktop's text colour
  // (clWindowText) is kept only where it stands out on the face: a dark desktop palette pairs
  // light text with dark windows, while the face may be white. Otherwise black or white.
  QColor ToQColor(TColor Value) const;
  void SizeChanged();
  // The full paint at Ratio device pixels per logical pixel.
  void RenderImage(qreal Ratio);
  void MovePointer(int Value);
  QRect MarkerRect(int AtPosition) const;
  bool PeakShown() const;
  // The rim segment of the peak marker, and its bounds with a pixel of margin.
  QRect PeakRect() const;
  void PaintPeak(QPainter& Canvas);
  int Limit(int Value) const;
  // Runs an input reaction; failures are reported, since they cannot cross the event loop.
  template <class F>
  void Guarded(F&& Action);
  bool ForwardMouseEvent(QMouseEvent* Event);

  TBorderStyle fBorderStyle = bsRaised;
  bool fCacheRanges = true;
  bool fClockwise = true;
  int fDialBase = 270;
  TColor fDialColor = clBtnFace;
  int fDialSpread = 20;
  std::unique_ptr<TDCLabelSetList> fLabelSets;
  int fLargeChange = 10;
  TColor fMarkerColor = clRed;
  TMarkerStyle fMarkerStyle = msLine;
  int fMaxRadius = 0;
  int fMaxValue = 100;
  int fMinValue = 0;
  int fPosition = 0;
  int fPeakPosition = kNoPeak;
  TColor fPeakColor = 0xC00000;  // blue
  int fRadius = 0;
  std::unique_ptr<TDCRangeList> fRanges;
  bool fReadOnly = false;
  TRelativeRadius fRelativeRadius = -75;
  int fSmallChange = 1;
  TStyle fStyle = dsDial;
  std::unique_ptr<TDCTickSetList> fTickSets;
  TColor fColor = clBtnFace;
  bool fCtl3D = true;
  bool fDesigning = false;
  QPoint fCenter;
  int fSweep = 340;

  QSize fCalculatedSize;
  QImage fFace;      // the scale and face without the pointer
  QImage fImage;     // what the control shows: the face with the pointer
  QSize fImageSize;  // the logical size both images were painted for
  bool fImageValid = false;
  QPointer<QWidget> fForwardTarget;
  // Expires when the dial is destroyed; the item handlers it hands out check it first.
  std::shared_ptr<const void> fAlive = std::make_shared<int>(0);
};

}  // namespace vemo

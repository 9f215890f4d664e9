// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The trend chart: forward and reflected power on one power axis (left, in the read-outs'
// unit) and VSWR on its own axis (right) against wall-clock time. Each repaint asks the
// history for one summary per pixel column and draws its minimum-maximum band and mean
// line, so a spike between two columns' means stays visible at any zoom. Columns with an
// alarm are shaded; gaps stay empty. Drag to scroll back, wheel to zoom about the pointer;
// the pointer's column is read out at the top.

#include <QWidget>

#include <vector>

#include "station/AlarmEvaluator.h"
#include "station/Readout.h"
#include "station/Summary.h"
#include "ui/trend/TrendView.h"

namespace vemo {

class Clock;
class ReadingHistory;

class TrendChart : public QWidget {
  Q_OBJECT

 public:
  TrendChart(const ReadingHistory& history, const Clock& clock, QWidget* parent = nullptr);

  TrendViewport& View() { return view_; }
  const TrendViewport& View() const { return view_; }
  // The monitor's full scale in watts: it decides the power unit.
  void SetFullScale(double watts);
  const TDisplayUnit& Unit() const { return unit_; }

  // Now: the clock, or the newest entry if that is later (a clock that stepped back).
  qint64 NowMs() const;
  // The oldest time kept (now when nothing is).
  qint64 OldestMs() const;
  // The visible [from, to).
  std::pair<qint64, qint64> VisibleRange() const;

  QRect PlotRect() const;
  // The x of a time inside the plot (at the left edge of its column).
  int XOf(qint64 timeMs) const;
  qint64 TimeAt(int x) const;

  // The cursor at a point of the widget (the pointer's position); outside the plot hides it.
  void SetCursorAt(QPoint point);
  // What the cursor reads out; empty without a cursor.
  QString CursorReadout() const;

  // Colours of the series (the tests look for them).
  static QColor ForwardColor();
  static QColor ReflectedColor();
  static QColor VSWRColor();
  static QColor AlarmShade();  // the monitor's own alarm flag
  static QColor OffColor();    // readings with the transmitter unkeyed
  // The shade of the times a program alarm of this source was active.
  static QColor SourceShade(AlarmSource source);
  // The shade of a column: its most important alarm; invalid for none.
  static QColor ShadeOf(const TSummary& s);

 Q_SIGNALS:
  // The user scrolled, zoomed or paused following.
  void ViewChanged();
  // The cursor moved, appeared or went.
  void CursorMoved();

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void wheelEvent(QWheelEvent* event) override;
  void leaveEvent(QEvent* event) override;
  // Keyboard use (TrendChartKeys.cpp): cursor, scrolling and span without a mouse.
  void keyPressEvent(QKeyEvent* event) override;
  void focusInEvent(QFocusEvent* event) override;

 private:
  void DrawSeries(QPainter& p, const QRect& plot, double top, bool vswr,
                  const TValueRange TSummary::*range, const QColor& color);

  const ReadingHistory& history_;
  const Clock& clock_;
  TrendViewport view_;
  TDisplayUnit unit_;
  std::vector<TSummary> columns_;  // reused from paint to paint
  bool hasCursor_ = false;
  QPoint cursor_;
  bool dragging_ = false;
  int dragX_ = 0;
  qint64 dragEndMs_ = 0;
};

}  // namespace vemo

// SPDX-License-Identifier: GPL-3.0-or-later
// The trend chart from the keyboard: Left and Right move the cursor (with Ctrl, ten times
// as far), Page Up and Page Down scroll by a span, Home and End go to the oldest and the
// newest (following again), Plus and Minus zoom in and out about the cursor.
#include <QKeyEvent>

#include <algorithm>

#include "ui/trend/TrendChart.h"

namespace vemo {

namespace {
constexpr double kZoomStep = 0.8;  // as one wheel notch
}  // namespace

void TrendChart::focusInEvent(QFocusEvent* event) {
  // A cursor to move from: the newest reading.
  if (!hasCursor_) SetCursorAt(QPoint(PlotRect().right(), PlotRect().center().y()));
  QWidget::focusInEvent(event);
}

void TrendChart::keyPressEvent(QKeyEvent* event) {
  const QRect plot = PlotRect();
  const auto [from, to] = VisibleRange();
  const qint64 span = to - from;
  const int step = event->modifiers() & Qt::ControlModifier ? 10 : 1;
  const QPoint at = hasCursor_ ? cursor_ : QPoint(plot.right(), plot.center().y());
  switch (event->key()) {
    case Qt::Key_Left:
    case Qt::Key_Right: {
      const int dx = event->key() == Qt::Key_Left ? -step : step;
      SetCursorAt(QPoint(std::clamp(at.x() + dx, plot.left(), plot.right()), at.y()));
      return;
    }
    case Qt::Key_PageUp:
    case Qt::Key_PageDown:
      view_.ScrollTo(to + (event->key() == Qt::Key_PageUp ? -span : span), OldestMs(), NowMs());
      break;
    case Qt::Key_Home:
      view_.ScrollTo(OldestMs() + span, OldestMs(), NowMs());
      break;
    case Qt::Key_End:
      view_.SetFollow(true, NowMs());
      break;
    case Qt::Key_Plus:
    case Qt::Key_Equal:
    case Qt::Key_Minus:
      view_.Zoom(event->key() == Qt::Key_Minus ? 1 / kZoomStep : kZoomStep, TimeAt(at.x()),
                 OldestMs(), NowMs());
      break;
    default:
      QWidget::keyPressEvent(event);
      return;
  }
  update();
  SetCursorAt(at);
  Q_EMIT ViewChanged();
}

}  // namespace vemo

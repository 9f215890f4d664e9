// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/trend/TrendChart.h"

#include <QMouseEvent>
#include <QPainter>
#include <QWheelEvent>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstring>

#include "platform/Clock.h"
#include "station/ReadingHistory.h"
#include "station/StationRig.h"

namespace vemo {

namespace {

constexpr int kLeftMargin = 58;
constexpr int kRightMargin = 46;
constexpr int kTopMargin = 22;
constexpr int kBottomMargin = 22;
constexpr int kDivisions = 5;
constexpr int kMinTickSpacingPx = 90;

QString AxisNumber(double v) {
  return QString::fromStdString(FormatNumber("%g", v));
}

// The pixel column under x, or -1 outside the plot.
int ColumnAt(const QRect& plot, int x) {
  return x >= plot.left() && x <= plot.right() ? x - plot.left() : -1;
}

// With a rig, the read-out ends with where the reading was taken: "…, 14.074 MHz, 20m".
QString CursorFor(const ReadingHistory& history, const std::vector<TSummary>& columns,
                  const std::pair<qint64, qint64>& range, int column, const TDisplayUnit& unit) {
  if (column < 0 || column >= static_cast<int>(columns.size())) return {};
  const int n = static_cast<int>(columns.size());
  const int held = HeldColumn(columns, column);
  const qint64 at = ReadingHistory::ColumnStart(range.first, range.second, n, column);
  if (held < 0) return CursorText(at, TSummary{}, unit);
  const qint64 heldAt = ReadingHistory::ColumnStart(range.first, range.second, n, held);
  QString text = CursorText(heldAt, columns[held], unit);
  if (const auto place = history.PlaceAt(heldAt))
    text += QStringLiteral(", ") +
            QString::fromStdString(FrequencyText(place->FrequencyHz, place->Band));
  return text;
}

}  // namespace

TrendChart::TrendChart(const ReadingHistory& history, const Clock& clock, QWidget* parent)
    : QWidget(parent), history_(history), clock_(clock), unit_(DisplayUnitFor(0)) {
  setMouseTracking(true);
  setFocusPolicy(Qt::StrongFocus);
  setAccessibleName(tr("Trend chart"));
  setMinimumSize(360, 160);
  setAttribute(Qt::WA_OpaquePaintEvent);
}

void TrendChart::SetFullScale(double watts) {
  const TDisplayUnit unit = DisplayUnitFor(watts);
  if (unit.Scale == unit_.Scale && std::strcmp(unit.ForwardFormat, unit_.ForwardFormat) == 0)
    return;
  unit_ = unit;
  update();
}

QColor TrendChart::ForwardColor() {
  return QColor(0, 90, 200);
}
QColor TrendChart::ReflectedColor() {
  return QColor(215, 80, 0);
}
QColor TrendChart::VSWRColor() {
  return QColor(0, 140, 60);
}
QColor TrendChart::AlarmShade() {
  return QColor(255, 218, 218);
}
QColor TrendChart::OffColor() {
  return QColor(170, 170, 170);
}

QColor TrendChart::SourceShade(AlarmSource source) {
  switch (source) {
    // A drift shows as the level alarm of its quantity.
    case AlarmSource::VSWRAbove:
    case AlarmSource::VSWRDrift:
      return QColor(255, 196, 196);
    case AlarmSource::ReflectedAbove:
    case AlarmSource::ReflectedDrift:
      return QColor(255, 222, 180);
    case AlarmSource::Monitor:
      return AlarmShade();
    case AlarmSource::OffAir:
      return QColor(226, 212, 255);
    case AlarmSource::ForwardBelow:
    case AlarmSource::ForwardDrift:
      return QColor(206, 224, 255);
    case AlarmSource::LinkLost:
      return QColor(226, 226, 226);
    case AlarmSource::Test:
      return QColor(212, 240, 212);
  }
  return AlarmShade();
}

QColor TrendChart::ShadeOf(const TSummary& s) {
  // The order in which they matter to the transmitter.
  static constexpr AlarmSource kOrder[] = {AlarmSource::VSWRAbove,      AlarmSource::ReflectedAbove,
                                           AlarmSource::Monitor,        AlarmSource::OffAir,
                                           AlarmSource::ForwardBelow,   AlarmSource::VSWRDrift,
                                           AlarmSource::ReflectedDrift, AlarmSource::ForwardDrift,
                                           AlarmSource::LinkLost,       AlarmSource::Test};
  for (const AlarmSource source : kOrder)
    if (s.Sources & AlarmSourceBit(source)) return SourceShade(source);
  return s.Alarm ? AlarmShade() : QColor();
}

qint64 TrendChart::NowMs() const {
  const qint64 clock =
      std::chrono::duration_cast<std::chrono::milliseconds>(clock_.Now().time_since_epoch())
          .count();
  return history_.Empty() ? clock : std::max(clock, history_.NewestMs());
}

qint64 TrendChart::OldestMs() const {
  return history_.Empty() ? NowMs() : history_.OldestMs();
}

std::pair<qint64, qint64> TrendChart::VisibleRange() const {
  return view_.Range(OldestMs(), NowMs());
}

QRect TrendChart::PlotRect() const {
  return QRect(kLeftMargin, kTopMargin, std::max(1, width() - kLeftMargin - kRightMargin),
               std::max(1, height() - kTopMargin - kBottomMargin));
}

int TrendChart::XOf(qint64 timeMs) const {
  const auto [from, to] = VisibleRange();
  const QRect plot = PlotRect();
  return plot.left() + static_cast<int>(std::floor(static_cast<double>(timeMs - from) *
                                                   plot.width() / (to - from)));
}

qint64 TrendChart::TimeAt(int x) const {
  const auto [from, to] = VisibleRange();
  const QRect plot = PlotRect();
  return from + static_cast<qint64>(std::llround(static_cast<double>(x - plot.left()) *
                                                 (to - from) / plot.width()));
}

void TrendChart::SetCursorAt(QPoint point) {
  const bool inside = ColumnAt(PlotRect(), point.x()) >= 0 && point.y() >= PlotRect().top() &&
                      point.y() <= PlotRect().bottom();
  if (!inside && !hasCursor_) return;
  hasCursor_ = inside;
  cursor_ = point;
  update();
  // What a screen reader reads for the chart: the cursor's read-out.
  const QString readout = CursorReadout();
  if (accessibleDescription() != readout) setAccessibleDescription(readout);
  Q_EMIT CursorMoved();
}

QString TrendChart::CursorReadout() const {
  if (!hasCursor_) return {};
  const auto range = VisibleRange();
  std::vector<TSummary> columns;
  history_.Decimate(range.first, range.second, PlotRect().width(), columns);
  return CursorFor(history_, columns, range, ColumnAt(PlotRect(), cursor_.x()), unit_);
}

void TrendChart::DrawSeries(QPainter& p, const QRect& plot, double top, bool vswr,
                            const TValueRange TSummary::*range, const QColor& color) {
  const double h = plot.height() - 1;
  const auto y = [&](double v) {
    const double f = vswr ? (v - 1) / (top - 1) : v * unit_.Scale / top;
    return plot.bottom() - static_cast<int>(std::lround(std::clamp(f, 0.0, 1.0) * h));
  };
  QColor band = color;
  band.setAlpha(80);
  std::vector<QPoint> line;
  line.reserve(columns_.size());
  p.setPen(QPen(color, 1));
  const auto flush = [&] {
    if (line.size() > 1)
      p.drawPolyline(line.data(), static_cast<int>(line.size()));
    else if (line.size() == 1)
      p.drawPoint(line.front());
    line.clear();
  };
  for (size_t c = 0; c < columns_.size(); ++c) {
    const TSummary& s = columns_[c];
    // The VSWR counts keyed readings only; with the transmitter off its line breaks.
    const qint64 count = vswr ? s.Keyed : s.Count;
    if (count == 0) {
      if (s.Gaps || (vswr && s.HasData())) flush();
      continue;
    }
    const TValueRange& r = s.*range;
    const int x = plot.left() + static_cast<int>(c);
    const int yMin = y(r.Min), yMax = y(r.Max);
    if (yMin > yMax + 1) p.fillRect(x, yMax, 1, yMin - yMax + 1, band);
    const QPoint mean(x, y(r.Sum / static_cast<double>(count)));
    // A column holding a gap stands alone: no line leads into or out of it.
    if (s.Gaps) flush();
    line.push_back(mean);
    if (s.Gaps) flush();
  }
  flush();
}

void TrendChart::paintEvent(QPaintEvent*) {
  QPainter p(this);
  if (!p.isActive()) return;
  const QRect plot = PlotRect();
  const auto range = VisibleRange();
  history_.Decimate(range.first, range.second, plot.width(), columns_);

  p.fillRect(rect(), palette().window());
  p.fillRect(plot, Qt::white);

  // Axis tops from what is visible; alarm runs (a reading's alarm holds like its line).
  double maxPower = 0, maxVSWR = 0;
  int lastData = -1;
  for (size_t c = 0; c < columns_.size(); ++c)
    if (columns_[c].HasData()) {
      maxPower = std::max({maxPower, static_cast<double>(columns_[c].Forward.Max),
                           static_cast<double>(columns_[c].Reflected.Max)});
      maxVSWR = std::max(maxVSWR, static_cast<double>(columns_[c].VSWR.Max));
      lastData = static_cast<int>(c);
    }
  const double powerTop = PowerAxisTop(maxPower * unit_.Scale);
  const double vswrTop = VSWRAxisTop(maxVSWR);

  // The alarm runs, in the colour of the alarm that matters most in each column; a
  // reading's alarm holds like its line.
  QColor held;
  QColor run;
  int runStart = -1;
  const int n = static_cast<int>(columns_.size());
  for (int c = 0; c <= n; ++c) {
    QColor shade;
    if (c < n) {
      const TSummary& s = columns_[c];
      if (s.HasData()) {
        shade = ShadeOf(s);
        held = s.Gaps ? QColor() : shade;
      } else if (s.Gaps) {
        held = QColor();
      } else if (c < lastData) {
        shade = held;
      }
    }
    if (runStart >= 0 && shade != run) {
      p.fillRect(plot.left() + runStart, plot.top(), c - runStart, plot.height(), run);
      runStart = -1;
    }
    if (shade.isValid() && runStart < 0) {
      runStart = c;
      run = shade;
    }
  }
  // Readings with the transmitter off: a grey strip along the foot of the plot.
  for (int c = 0; c < n; ++c)
    if (columns_[c].Off()) p.fillRect(plot.left() + c, plot.bottom() - 4, 1, 5, OffColor());

  // Grid and axes.
  const QColor grid(225, 225, 225);
  p.setPen(grid);
  for (int k = 1; k < kDivisions; ++k) {
    const int yk = plot.bottom() - k * (plot.height() - 1) / kDivisions;
    p.drawLine(plot.left(), yk, plot.right(), yk);
  }
  const auto ticks = TimeTicks(range.first, range.second, plot.width(), kMinTickSpacingPx);
  for (const TTimeTick& t : ticks) {
    const int x = XOf(t.TimeMs);
    p.setPen(grid);
    p.drawLine(x, plot.top(), x, plot.bottom());
    p.setPen(palette().windowText().color());
    p.drawText(QRect(x - 50, plot.bottom() + 3, 100, kBottomMargin - 3),
               Qt::AlignHCenter | Qt::AlignTop, t.Label);
  }
  const QColor text = palette().windowText().color();
  for (int k = 0; k <= kDivisions; ++k) {
    const int yk = plot.bottom() - k * (plot.height() - 1) / kDivisions;
    p.setPen(text);
    p.drawText(QRect(0, yk - 8, kLeftMargin - 5, 16), Qt::AlignRight | Qt::AlignVCenter,
               AxisNumber(powerTop * k / kDivisions));
    p.setPen(VSWRColor());
    p.drawText(QRect(plot.right() + 5, yk - 8, kRightMargin - 5, 16),
               Qt::AlignLeft | Qt::AlignVCenter, AxisNumber(1 + (vswrTop - 1) * k / kDivisions));
  }
  p.setPen(text);
  p.drawText(QRect(0, 2, kLeftMargin - 5, kTopMargin - 4), Qt::AlignRight | Qt::AlignVCenter,
             QString::fromLatin1(unit_.Unit));
  p.setPen(VSWRColor());
  p.drawText(QRect(plot.right() + 5, 2, kRightMargin - 5, kTopMargin - 4),
             Qt::AlignLeft | Qt::AlignVCenter, QStringLiteral("VSWR"));

  p.setClipRect(plot);
  DrawSeries(p, plot, vswrTop, true, &TSummary::VSWR, VSWRColor());
  DrawSeries(p, plot, powerTop, false, &TSummary::Reflected, ReflectedColor());
  DrawSeries(p, plot, powerTop, false, &TSummary::Forward, ForwardColor());
  p.setClipping(false);
  p.setPen(QColor(160, 160, 160));
  p.drawRect(plot.adjusted(0, 0, -1, -1));

  // Legend, or the cursor's read-out, in the strip above the plot.
  const QRect strip(plot.left(), 2, plot.width(), kTopMargin - 4);
  if (hasCursor_) {
    p.setPen(QColor(90, 90, 90));
    p.drawLine(cursor_.x(), plot.top(), cursor_.x(), plot.bottom());
    p.setPen(text);
    p.drawText(strip, Qt::AlignLeft | Qt::AlignVCenter,
               CursorFor(history_, columns_, range, ColumnAt(plot, cursor_.x()), unit_));
  } else {
    int x = strip.left();
    const auto key = [&](const QString& name, const QColor& color) {
      p.fillRect(x, strip.center().y() - 1, 14, 3, color);
      p.setPen(text);
      const int w = p.fontMetrics().horizontalAdvance(name);
      p.drawText(QRect(x + 18, strip.top(), w + 2, strip.height()), Qt::AlignVCenter, name);
      x += 18 + w + 16;
    };
    key(tr("Forward"), ForwardColor());
    key(tr("Reflected"), ReflectedColor());
    key(tr("VSWR"), VSWRColor());
    key(tr("Off"), OffColor());
    if (!view_.Follow()) {
      p.setPen(text);
      p.drawText(strip, Qt::AlignRight | Qt::AlignVCenter, tr("Paused"));
    }
  }
  if (history_.Empty()) {
    p.setPen(text);
    p.drawText(plot, Qt::AlignCenter, tr("No readings yet"));
  }
}

void TrendChart::mousePressEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton) return QWidget::mousePressEvent(event);
  dragging_ = true;
  dragX_ = event->position().toPoint().x();
  dragEndMs_ = VisibleRange().second;
}

void TrendChart::mouseMoveEvent(QMouseEvent* event) {
  const QPoint at = event->position().toPoint();
  if (dragging_) {
    const auto [from, to] = VisibleRange();
    const qint64 moved = static_cast<qint64>(
        std::llround(static_cast<double>(at.x() - dragX_) * (to - from) / PlotRect().width()));
    // Dragging the chart to the right brings earlier readings into view.
    view_.ScrollTo(dragEndMs_ - moved, OldestMs(), NowMs());
    update();
    Q_EMIT ViewChanged();
  }
  SetCursorAt(at);
}

void TrendChart::mouseReleaseEvent(QMouseEvent* event) {
  if (event->button() == Qt::LeftButton) dragging_ = false;
  QWidget::mouseReleaseEvent(event);
}

void TrendChart::wheelEvent(QWheelEvent* event) {
  const int steps = event->angleDelta().y();
  if (steps == 0) return QWidget::wheelEvent(event);
  // One notch (120) up shows 80 % of the span.
  view_.Zoom(std::pow(0.8, steps / 120.0), TimeAt(event->position().toPoint().x()), OldestMs(),
             NowMs());
  update();
  Q_EMIT ViewChanged();
}

void TrendChart::leaveEvent(QEvent* event) {
  hasCursor_ = false;
  update();
  Q_EMIT CursorMoved();
  QWidget::leaveEvent(event);
}

}  // namespace vemo

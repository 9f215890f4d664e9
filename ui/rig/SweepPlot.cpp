// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/rig/SweepPlot.h"

#include <QPainter>
#include <QPainterPath>

#include <algorithm>
#include <cmath>

namespace vemo {
namespace {

constexpr size_t kMostOverlays = 8;
const double kTicks[] = {1, 1.5, 2, 3, 5, 10};

QString Megahertz(double hz) {
  return QString::number(hz / 1e6, 'f', 3) + " MHz";
}
QString Kilohertz(double hz) {
  return QString::number(hz / 1e3, 'f', 1) + " kHz";
}

}  // namespace

double SweepAxisPosition(double vswr, bool log) {
  const double v =
      std::isfinite(vswr) ? std::clamp(vswr, 1.0, kSweepPlotTopVswr) : kSweepPlotTopVswr;
  return log ? std::log10(v) / std::log10(kSweepPlotTopVswr) : (v - 1) / (kSweepPlotTopVswr - 1);
}

SweepPlot::SweepPlot(QWidget* parent) : QWidget(parent) {
  setAccessibleName(tr("SWR sweep plot"));
  setBackgroundRole(QPalette::Base);
  setAutoFillBackground(true);
}

void SweepPlot::SetPoints(std::vector<TSweepPoint> points) {
  points_ = std::move(points);
  update();
}

void SweepPlot::KeepAsOverlay() {
  if (points_.empty()) return;
  overlays_.insert(overlays_.begin(), std::move(points_));
  if (overlays_.size() > kMostOverlays) overlays_.resize(kMostOverlays);
  points_.clear();
  update();
}

void SweepPlot::SetLogScale(bool log) {
  log_ = log;
  update();
}

void SweepPlot::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  Paint(painter, rect());
}

void SweepPlot::Paint(QPainter& p, const QRectF& area) const {
  p.setRenderHint(QPainter::Antialiasing);
  const QFontMetricsF fm(p.font());
  const QRectF plot = area.adjusted(fm.horizontalAdvance("10.0") + 12, fm.height(),
                                    -fm.horizontalAdvance("14.350") / 2 - 8, -2.5 * fm.height());
  const QPalette& pal = palette();
  p.setPen(pal.color(QPalette::Text));
  p.drawRect(plot);

  double low = 0, high = 0;
  std::vector<const std::vector<TSweepPoint>*> sets;
  for (const auto& o : overlays_) sets.push_back(&o);
  sets.push_back(&points_);
  bool any = false;
  for (const auto* set : sets)
    for (const TSweepPoint& pt : *set) {
      const double hz = static_cast<double>(pt.FrequencyHz);
      low = any ? std::min(low, hz) : hz;
      high = any ? std::max(high, hz) : hz;
      any = true;
    }
  const auto x = [&](double hz) {
    return high > low ? plot.left() + (hz - low) / (high - low) * plot.width() : plot.center().x();
  };
  const auto y = [&](double vswr) {
    return plot.bottom() - SweepAxisPosition(vswr, log_) * plot.height();
  };

  // The VSWR axis, with the two levels the bandwidths are read at drawn across.
  for (const double tick : kTicks) {
    if (!log_ && tick == 1.5) continue;  // too close to 1 and 2 on a linear axis
    const double ty = y(tick);
    const bool level = tick == 1.5 || tick == 2;
    p.setPen(QPen(level ? QColor(200, 120, 0) : pal.color(QPalette::Mid), 1,
                  level ? Qt::DashLine : Qt::DotLine));
    p.drawLine(QPointF(plot.left(), ty), QPointF(plot.right(), ty));
    p.setPen(pal.color(QPalette::Text));
    p.drawText(
        QRectF(area.left(), ty - fm.height() / 2, plot.left() - area.left() - 6, fm.height()),
        Qt::AlignRight | Qt::AlignVCenter, QString::number(tick, 'g', 3));
  }
  if (!any) {
    p.drawText(plot, Qt::AlignCenter, tr("No sweep yet"));
    return;
  }
  for (const double hz : {low, (low + high) / 2, high})
    p.drawText(QRectF(x(hz) - 60, plot.bottom() + 2, 120, fm.height()), Qt::AlignHCenter,
               QString::number(hz / 1e6, 'f', 3));
  p.drawText(QRectF(plot.left(), plot.bottom() + fm.height(), plot.width(), fm.height()),
             Qt::AlignHCenter, tr("Frequency (MHz)"));

  const auto curve = [&](const std::vector<TSweepPoint>& pts, const QPen& pen) {
    QPainterPath path;
    for (size_t i = 0; i < pts.size(); ++i) {
      const QPointF at(x(static_cast<double>(pts[i].FrequencyHz)), y(pts[i].Vswr));
      i == 0 ? path.moveTo(at) : path.lineTo(at);
    }
    p.setPen(pen);
    p.setBrush(Qt::NoBrush);
    p.drawPath(path);
  };
  for (const auto& o : overlays_) curve(o, QPen(pal.color(QPalette::Mid), 1.5));
  curve(points_, QPen(pal.color(QPalette::Highlight), 2.5));

  const TSweepAnalysis a = AnalyseSweep(points_);
  if (!a.Minimum) return;
  const TSweepPoint& m = points_[*a.Minimum];
  const QPointF mAt(x(static_cast<double>(m.FrequencyHz)), y(m.Vswr));
  p.setPen(QPen(QColor(0, 140, 0), 2));
  p.drawEllipse(mAt, 4, 4);
  QStringList notes{tr("Minimum %1 at %2").arg(m.Vswr, 0, 'f', 2).arg(Megahertz(m.FrequencyHz))};
  for (const auto& [level, bw] : {std::pair{1.5, a.At15}, std::pair{2.0, a.At20}}) {
    p.setPen(QPen(QColor(200, 120, 0), 2));
    for (const auto& edge : {bw.LowHz, bw.HighHz})
      if (edge) p.drawLine(QPointF(x(*edge), y(level) - 5), QPointF(x(*edge), y(level) + 5));
    if (bw.Width())
      notes << tr("Bandwidth at %1: %2").arg(level, 0, 'f', 1).arg(Kilohertz(*bw.Width()));
  }
  p.setPen(pal.color(QPalette::Text));
  p.drawText(plot.adjusted(8, 4, -8, -4), Qt::AlignTop | Qt::AlignHCenter, notes.join("   "));
}

}  // namespace vemo

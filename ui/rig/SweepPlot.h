// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The SWR sweep's plot: VSWR against frequency on a linear or logarithmic VSWR axis, the
// minimum marked, the bandwidths at VSWR 1.5 and 2.0 (interpolated between steps) drawn
// and labelled, and earlier sweeps as grey overlays beneath the current one. Paint draws
// into any painter, so the PNG export is the same picture as the window's.

#include "rig/Sweep.h"

#include <QString>
#include <QWidget>

#include <vector>

namespace vemo {

class SweepPlot : public QWidget {
  Q_OBJECT

 public:
  explicit SweepPlot(QWidget* parent = nullptr);

  void SetPoints(std::vector<TSweepPoint> points);  // the current sweep, as it grows
  const std::vector<TSweepPoint>& Points() const { return points_; }
  // The current sweep becomes an overlay (the newest first); at most eight are kept.
  void KeepAsOverlay();
  void SetLogScale(bool log);

  void Paint(QPainter& painter, const QRectF& area) const;
  QSize sizeHint() const override { return {640, 360}; }

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  std::vector<TSweepPoint> points_;
  std::vector<std::vector<TSweepPoint>> overlays_;
  bool log_ = false;
};

// The highest VSWR the axis shows: values above it are drawn at its top.
constexpr double kSweepPlotTopVswr = 10;
// Where a VSWR lies on the axis from 0 (VSWR 1) to 1 (the top).
double SweepAxisPosition(double vswr, bool log);

}  // namespace vemo

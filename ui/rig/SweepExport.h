// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// What the sweep window saves: the points as CSV under a name that says band and date
// ("sweep-20m-2026-12-08.csv"), and the plot as PNG with a title, the date and the monitor.

#include "rig/Sweep.h"

#include <QDateTime>
#include <QImage>
#include <QString>

#include <vector>

namespace vemo {

class SweepPlot;

// band may be empty ("sweep-2026-12-08.csv"); characters a file name cannot hold become "-".
QString SweepFileName(const QString& band, const QDate& date, const QString& suffix);
// frequency_hz,forward_w,reflected_w,vswr; false when the file cannot be written.
bool WriteSweepCsv(const QString& path, const std::vector<TSweepPoint>& points);
// The plot at size, under "SWR sweep, 20m" with the date and time and the monitor's name.
QImage RenderSweep(const SweepPlot& plot, const QString& band, const QDateTime& when,
                   const QString& monitor, QSize size = {1200, 700});

}  // namespace vemo

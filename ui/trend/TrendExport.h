// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The CSV export of the trend window's visible span. Widget-free.

#include <QtGlobal>

#include <string>

namespace vemo {

class ReadingHistory;

// Header of the export where the span reaches back into the per-minute archive: each
// line one minute (local start time), its counts of readings and gaps, minimum, maximum
// and mean of each quantity, and whether the alarm was on in it.
inline constexpr char kTrendMinutesCsvHeader[] =
    "time,readings,gaps,forward_w_min,forward_w_max,forward_w_mean,reflected_w_min,"
    "reflected_w_max,reflected_w_mean,vswr_min,vswr_max,vswr_mean,alarm";

// The readings of [fromMs, toMs) as CSV text, header first, lines ended by "\n". Where the
// raw readings cover the span, one line per reading in the command-line tool's columns
// (gaps have no values and give no line); otherwise one line per archive minute.
std::string TrendCsv(const ReadingHistory& history, qint64 fromMs, qint64 toMs);

}  // namespace vemo

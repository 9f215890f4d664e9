// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/trend/TrendView.h"

#include <QDateTime>

#include <algorithm>
#include <cmath>

namespace vemo {

namespace {

constexpr qint64 kSecond = 1000;
constexpr qint64 kMinute = 60 * kSecond;
constexpr qint64 kHour = 60 * kMinute;
constexpr qint64 kDay = 24 * kHour;

// Local-time offset from UTC at timeMs, in ms; ticks land on round local times.
qint64 LocalOffsetMs(qint64 timeMs) {
  return QDateTime::fromMSecsSinceEpoch(timeMs).offsetFromUtc() * kSecond;
}

QString Trimmed(const std::string& s) {
  return QString::fromStdString(s).trimmed();
}

QString Value(const char* format, double v) {
  return Trimmed(FormatNumber(format, v));
}

QString WithRange(const char* format, const TValueRange& r, double mean, qint64 count,
                  double scale) {
  QString text = Value(format, mean * scale);
  if (count > 1 && r.Min != r.Max)
    text += QStringLiteral(" (%1 to %2)")
                .arg(Value(format, r.Min * scale), Value(format, r.Max * scale));
  return text;
}

}  // namespace

void TrendViewport::SetSpan(qint64 spanMs) {
  spanMs_ = spanMs == 0 ? 0 : std::clamp(spanMs, kMinTrendSpanMs, kMaxTrendSpanMs);
}

void TrendViewport::SetFollow(bool on, qint64 nowMs) {
  if (follow_ && !on) endMs_ = nowMs;
  follow_ = on;
}

std::pair<qint64, qint64> TrendViewport::Range(qint64 oldestMs, qint64 nowMs) const {
  const qint64 to = follow_ ? nowMs : std::min(endMs_, nowMs);
  const qint64 span =
      spanMs_ ? spanMs_ : std::clamp(nowMs - oldestMs, kMinTrendSpanMs, kMaxTrendSpanMs);
  return {to - span, to};
}

void TrendViewport::ScrollTo(qint64 endMs, qint64 oldestMs, qint64 nowMs) {
  const qint64 span = Range(oldestMs, nowMs).second - Range(oldestMs, nowMs).first;
  // Not further back than the oldest data shows at the left edge.
  endMs = std::clamp(endMs, std::min(oldestMs + span, nowMs), nowMs);
  if (endMs < nowMs) follow_ = false;
  endMs_ = endMs;
  if (spanMs_ == 0) spanMs_ = span;
}

void TrendViewport::Zoom(double factor, qint64 anchorMs, qint64 oldestMs, qint64 nowMs) {
  const auto [from, to] = Range(oldestMs, nowMs);
  const qint64 span = to - from;
  const qint64 newSpan = std::clamp(static_cast<qint64>(std::llround(span * factor)),
                                    kMinTrendSpanMs, kMaxTrendSpanMs);
  spanMs_ = newSpan;
  if (follow_) return;
  const double f = std::clamp(static_cast<double>(anchorMs - from) / span, 0.0, 1.0);
  const qint64 newFrom = anchorMs - static_cast<qint64>(std::llround(f * newSpan));
  endMs_ = std::min(newFrom + newSpan, nowMs);
}

std::vector<TTimeTick> TimeTicks(qint64 fromMs, qint64 toMs, int widthPx, int minSpacingPx) {
  static constexpr qint64 kSteps[] = {
      kSecond,     2 * kSecond, 5 * kSecond,  10 * kSecond, 15 * kSecond, 30 * kSecond, kMinute,
      2 * kMinute, 5 * kMinute, 10 * kMinute, 15 * kMinute, 30 * kMinute, kHour,        2 * kHour,
      3 * kHour,   6 * kHour,   12 * kHour,   kDay,         2 * kDay,     7 * kDay};
  std::vector<TTimeTick> ticks;
  if (toMs <= fromMs || widthPx <= 0) return ticks;
  const double msPerPx = static_cast<double>(toMs - fromMs) / widthPx;
  qint64 step = kSteps[std::size(kSteps) - 1];
  for (qint64 s : kSteps)
    if (s / msPerPx >= minSpacingPx) {
      step = s;
      break;
    }
  const qint64 offset = LocalOffsetMs(fromMs);
  const qint64 localFrom = fromMs + offset;
  qint64 local = (localFrom / step) * step;
  if (local < localFrom) local += step;
  for (; local - offset < toMs; local += step) {
    const qint64 t = local - offset;
    const QDateTime at = QDateTime::fromMSecsSinceEpoch(t);
    QString label;
    if (step >= kDay || at.time() == QTime(0, 0))
      label = at.toString(QStringLiteral("d MMM"));
    else
      label = at.toString(step < kMinute ? QStringLiteral("HH:mm:ss") : QStringLiteral("HH:mm"));
    ticks.push_back({t, label});
  }
  return ticks;
}

double NiceCeiling(double v) {
  if (!(v > 0) || !std::isfinite(v)) return 1;
  const double decade = std::pow(10.0, std::floor(std::log10(v)));
  for (double m : {1.0, 2.0, 2.5, 5.0, 10.0})
    if (m * decade >= v * (1 - 1e-12)) return m * decade;
  return 10 * decade;
}

double PowerAxisTop(double maxInUnit) {
  return NiceCeiling(maxInUnit);
}

double VSWRAxisTop(double maxVSWR) {
  const double above = std::isfinite(maxVSWR) ? std::clamp(maxVSWR - 1, 1.0, 10.0) : 1.0;
  return 1 + NiceCeiling(above);
}

int HeldColumn(const std::vector<TSummary>& columns, int column) {
  const int n = static_cast<int>(columns.size());
  if (column < 0 || column >= n) return -1;
  if (columns[column].HasData()) return column;
  if (columns[column].Gaps > 0) return -1;
  int before = column - 1;
  while (before >= 0 && !columns[before].HasData() && columns[before].Gaps == 0) --before;
  if (before < 0 || !columns[before].HasData() || columns[before].Gaps > 0) return -1;
  int after = column + 1;
  while (after < n && !columns[after].HasData() && columns[after].Gaps == 0) ++after;
  if (after >= n || !columns[after].HasData() || columns[after].Gaps > 0) return -1;
  return before;
}

QString CursorText(qint64 timeMs, const TSummary& column, const TDisplayUnit& unit) {
  const QString time =
      QDateTime::fromMSecsSinceEpoch(timeMs).toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
  if (!column.HasData()) return time + QStringLiteral("   no reading");
  // Unkeyed readings have no VSWR worth showing.
  const QString vswr = column.Keyed
                           ? WithRange("%.2f", column.VSWR, column.MeanVSWR(), column.Keyed, 1)
                           : QStringLiteral("off");
  return QStringLiteral("%1   Forward %2 %3   Reflected %4 %3   VSWR %5")
      .arg(time,
           WithRange(unit.ForwardFormat, column.Forward, column.MeanForward(), column.Count,
                     unit.Scale),
           QString::fromLatin1(unit.Unit),
           WithRange(unit.ReflectedFormat, column.Reflected, column.MeanReflected(), column.Count,
                     unit.Scale),
           vswr);
}

}  // namespace vemo

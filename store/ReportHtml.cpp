// SPDX-License-Identifier: GPL-3.0-or-later
// The report as one HTML document: no scripts, no links out, the trend picture inline, so
// that it can be mailed, archived and opened anywhere. Everything that comes from outside
// (the monitor's name, the alarms' sources) is escaped.
#include "store/Report.h"

#include "station/AlarmLog.h"

#include "store/RasterImage.h"

#include <QDateTime>

#include <algorithm>
#include <cmath>
#include <vector>

namespace vemo {

namespace {

constexpr int kPictureHeight = 180;
constexpr int kForwardBottom = 86;  // the forward panel above, the VSWR panel below
constexpr int kVSWRTop = 94;
constexpr double kVSWRScaleCap = 10;

QString Escaped(const QString& text) {
  return text.toHtmlEscaped();
}
QString Escaped(const std::string& text) {
  return Escaped(QString::fromStdString(text));
}

QString Number(double v, int decimals) {
  if (std::isinf(v)) return QStringLiteral("∞");
  return QString::number(v, 'f', decimals);
}

QString Watts(double w) {
  return Number(w, w < 10 ? 2 : 1) + QStringLiteral(" W");
}

// "UTC+01:00", or "UTC+02:00 to UTC+01:00" across a change of daylight saving time.
QString OffsetsText(const TReportPeriod& p) {
  const auto at = [&](qint64 ms) {
    const int s = p.Zone.offsetFromUtc(QDateTime::fromMSecsSinceEpoch(ms, QTimeZone::utc()));
    return QStringLiteral("UTC%1%2:%3")
        .arg(s < 0 ? '-' : '+')
        .arg(std::abs(s) / 3600, 2, 10, QChar('0'))
        .arg(std::abs(s) / 60 % 60, 2, 10, QChar('0'));
  };
  const QString first = at(p.StartMs), last = at(p.EndMs - 1);
  return first == last ? first : first + QStringLiteral(" to ") + last;
}

QString LocalTime(qint64 ms, const QTimeZone& zone) {
  return QDateTime::fromMSecsSinceEpoch(ms, zone).toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
}

QString Percent(qint64 part, qint64 whole) {
  return whole > 0 ? QStringLiteral(" (%1 %)").arg(Number(100.0 * part / whole, 1)) : QString();
}

double VSWRScaleTop(const TReportFigures& f, double limit) {
  double top = std::max(2.0, limit * 1.5);
  for (const TSummary& c : f.Trend)
    if (c.HasData() && std::isfinite(c.VSWR.Max)) top = std::max(top, double(c.VSWR.Max));
  return std::min(top, kVSWRScaleCap);
}

double ForwardScaleTop(const TReportFigures& f) {
  double top = 0;
  for (const TSummary& c : f.Trend)
    if (c.HasData()) top = std::max(top, double(c.Forward.Max));
  return top > 0 ? top * 1.1 : 1;
}

// Forward power above (its range shaded, its mean drawn), VSWR below with its limit in
// red; columns without readings stay blank. No text: the document labels the scales.
RasterImage DrawTrend(const TReportFigures& f, double forwardTop, double vswrTop, double limit) {
  const int columns = static_cast<int>(f.Trend.size());
  RasterImage image(columns * 2, kPictureHeight, 0xFFFFFF);
  image.FillRect(0, kForwardBottom, image.Width(), kVSWRTop - kForwardBottom, 0xE6E6E6);
  const auto forwardY = [&](double w) {
    return kForwardBottom - std::clamp(w / forwardTop, 0.0, 1.0) * (kForwardBottom - 2);
  };
  const auto vswrY = [&](double v) {
    const double share = std::isnan(v) ? 0 : std::clamp((v - 1) / (vswrTop - 1), 0.0, 1.0);
    return kPictureHeight - 1 - share * (kPictureHeight - kVSWRTop - 2);
  };
  struct Point {
    double x, forward, vswr;
  };
  std::vector<std::vector<Point>> runs;  // the means, broken where a column has no data
  bool drawing = false;
  for (int i = 0; i < columns; ++i) {
    const TSummary& c = f.Trend[static_cast<size_t>(i)];
    if (!c.HasData()) {
      drawing = false;
      continue;
    }
    const double x = i * 2 + 1;
    image.FillRect(x - 1, forwardY(c.Forward.Max), 2,
                   std::max(1.0, forwardY(c.Forward.Min) - forwardY(c.Forward.Max)), 0xAAC8F0);
    image.FillRect(x - 1, vswrY(c.VSWR.Max), 2,
                   std::max(1.0, vswrY(c.VSWR.Min) - vswrY(c.VSWR.Max)), 0xC8E1B4);
    if (!drawing) runs.emplace_back();
    runs.back().push_back({x, forwardY(c.MeanForward()), vswrY(c.MeanVSWR())});
    drawing = true;
  }
  for (const std::vector<Point>& run : runs)
    for (size_t i = 0; i < run.size(); ++i) {
      const Point& from = run[i > 0 ? i - 1 : 0];
      image.Line(from.x, from.forward, run[i].x, run[i].forward, 0x1446A0, 2);
      image.Line(from.x, from.vswr, run[i].x, run[i].vswr, 0x28781E, 2);
    }
  if (limit > 0 && limit < vswrTop)
    image.Line(0, vswrY(limit), image.Width() - 1, vswrY(limit), 0xC80000, 1, true);
  return image;
}

QString Row(const QString& name, const QString& value) {
  return QStringLiteral("<tr><th scope=\"row\">%1</th><td>%2</td></tr>\n").arg(name, value);
}

QString AlarmRows(const TReportFigures& f, const TReportPeriod& p) {
  QString rows;
  for (const TReportAlarm& a : f.Alarms) {
    AlarmSource source{};
    const bool known = AlarmSourceOfName(a.Source.c_str(), source);
    QString end, duration;
    if (a.EndNotSeen) {
      end = QStringLiteral("not recorded (the program stopped)");
    } else if (!a.EndMs || *a.EndMs >= p.EndMs) {
      end = QStringLiteral("still active at the end");
      duration = QStringLiteral("at least ") + DurationText(p.EndMs - a.StartMs);
    } else {
      end = LocalTime(*a.EndMs, p.Zone);
      duration = DurationText(*a.EndMs - a.StartMs);
    }
    const QString value =
        known ? QString::fromStdString(AlarmValueText(source, a.Value)) : Number(a.Value, 2);
    const QString level =
        known && a.Level != 0 ? QString::fromStdString(AlarmValueText(source, a.Level)) : QString();
    rows += QStringLiteral("<tr><td>%1</td><td>%2%3</td><td>%4</td><td>%5</td><td>%6</td></tr>\n")
                .arg(Escaped(a.Source), LocalTime(a.StartMs, p.Zone),
                     a.StartMs < p.StartMs ? QStringLiteral(" (before the period)") : QString(),
                     Escaped(end), duration,
                     Escaped(level.isEmpty()
                                 ? value
                                 : value + QStringLiteral(" (level ") + level + QLatin1Char(')')));
  }
  return rows;
}

QString FiguresTable(const TReportFigures& f, const TReportPeriod& p, const TAlarmLevels& levels) {
  const qint64 span = p.EndMs - p.StartMs;
  const TSummary& s = f.Summary;
  QString t = QStringLiteral("<table class=\"figures\">\n");
  t += Row(QStringLiteral("Time with readings"),
           DurationText(f.CoveredMs) + Percent(f.CoveredMs, span));
  t += Row(levels.OffAirBelow > 0 && !f.SummariesUntilMs
               ? QStringLiteral("On the air (forward at least %1)").arg(Watts(levels.OffAirBelow))
               : QStringLiteral("On the air (keyed)"),
           DurationText(f.OnAirMs) + Percent(f.OnAirMs, span));
  t += Row(QStringLiteral("Keyed"), DurationText(f.KeyedMs) + Percent(f.KeyedMs, span));
  t += Row(QStringLiteral("Forward power min / mean / max"),
           QStringLiteral("%1 / %2 / %3")
               .arg(Watts(s.Forward.Min), Watts(s.MeanForward()), Watts(s.Forward.Max)));
  t += Row(QStringLiteral("VSWR min / mean / max (while keyed)"),
           s.VSWR.Min <= s.VSWR.Max
               ? QStringLiteral("%1 / %2 / %3")
                     .arg(Number(s.VSWR.Min, 2), Number(s.MeanVSWR(), 2), Number(s.VSWR.Max, 2))
               : QStringLiteral("never keyed"));
  QString above;
  if (levels.VSWRAbove <= 0)
    above = QStringLiteral("no VSWR limit is set");
  else if (!f.AboveLimitMs)
    above = QStringLiteral("not known: the single readings are no longer kept");
  else if (f.SummariesUntilMs)
    above = QStringLiteral("%1 from %2 on (before, not known)")
                .arg(DurationText(*f.AboveLimitMs), LocalTime(*f.SummariesUntilMs, p.Zone));
  else
    above = DurationText(*f.AboveLimitMs) + Percent(*f.AboveLimitMs, span);
  t += Row(levels.VSWRAbove > 0 ? QStringLiteral("VSWR above %1").arg(Number(levels.VSWRAbove, 2))
                                : QStringLiteral("VSWR above its limit"),
           above);
  t += Row(QStringLiteral("Readings / failed readings"),
           QStringLiteral("%1 / %2").arg(s.Count).arg(s.Gaps));
  return t + QStringLiteral("</table>\n");
}

const char kStyle[] =
    "body{font-family:sans-serif;margin:2em;color:#111;max-width:60em}"
    "h1{font-size:1.5em;margin-bottom:.2em}h2{font-size:1.2em;margin-top:1.5em}"
    "table{border-collapse:collapse}th,td{text-align:left;padding:.25em .8em;"
    "border-bottom:1px solid #ccc;vertical-align:top}"
    "table.figures th{font-weight:normal;color:#444}"
    "img{border:1px solid #999;max-width:100%}"
    ".note{color:#555;font-size:.9em}";

}  // namespace

TReport RenderReport(const QString& monitor, const TReportPeriod& p, const TAlarmLevels& levels,
                     const TReportFigures& f, qint64 madeMs) {
  const bool day = p.Span == ReportSpan::Day;
  const QString title = (day ? QStringLiteral("Daily report") : QStringLiteral("Weekly report")) +
                        QStringLiteral(": ") + monitor + QStringLiteral(", ") + p.Label;
  const qint64 hours = (p.EndMs - p.StartMs) / 3'600'000;
  const QString span =
      day ? QStringLiteral("%1, 00:00 to 24:00 local time (%2), %3 hours")
                .arg(p.First.toString(QStringLiteral("dddd d MMMM yyyy")), OffsetsText(p))
                .arg(hours)
          : QStringLiteral("%1 to %2, local time (%3), %4 hours")
                .arg(p.First.toString(QStringLiteral("ddd d MMMM yyyy")),
                     p.First.addDays(6).toString(QStringLiteral("ddd d MMMM yyyy")), OffsetsText(p))
                .arg(hours);

  TReport r;
  QString html = QStringLiteral(
                     "<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\">\n"
                     "<title>%1</title>\n<style>%2</style>\n</head>\n<body>\n<h1>%1</h1>\n"
                     "<p>%3</p>\n")
                     .arg(Escaped(title), QLatin1String(kStyle), Escaped(span));
  if (!f.HasData()) {
    html += QStringLiteral("<p><strong>No readings were stored for this period.</strong></p>\n");
  } else {
    html += FiguresTable(f, p, levels);
    if (f.SummariesUntilMs)
      html += QStringLiteral(
                  "<p class=\"note\">Up to %1 from the per-minute summaries: the single "
                  "readings of that time are no longer kept.</p>\n")
                  .arg(LocalTime(*f.SummariesUntilMs, p.Zone));
    const double forwardTop = ForwardScaleTop(f), vswrTop = VSWRScaleTop(f, levels.VSWRAbove);
    const RasterImage picture = DrawTrend(f, forwardTop, vswrTop, levels.VSWRAbove);
    r.Picture = picture.Png();
    r.PictureUri =
        QStringLiteral("data:image/png;base64,") + QString::fromLatin1(r.Picture.toBase64());
    html += QStringLiteral(
                "<h2>Trend</h2>\n<p><img src=\"%1\" width=\"%2\" height=\"%3\" alt=\"Forward "
                "power and VSWR over the period\"></p>\n<p class=\"note\">Above: forward power, "
                "0 to %4 (blue: mean, shaded: minimum to maximum). Below: VSWR, 1.00 to %5%6. "
                "Each column %7 minutes.</p>\n")
                .arg(r.PictureUri)
                .arg(picture.Width())
                .arg(picture.Height())
                .arg(Watts(forwardTop), Number(vswrTop, 2),
                     levels.VSWRAbove > 0 && levels.VSWRAbove < vswrTop
                         ? QStringLiteral(" (red: the limit, %1)").arg(Number(levels.VSWRAbove, 2))
                         : QString())
                .arg((p.EndMs - p.StartMs) / 60'000 / std::max<qint64>(1, qint64(f.Trend.size())));
  }
  html += QStringLiteral("<h2>Alarms</h2>\n");
  if (f.Alarms.empty())
    html += QStringLiteral("<p>No alarms.</p>\n");
  else
    html += QStringLiteral(
                "<table class=\"alarms\">\n<tr><th>Source</th><th>Tripped</th><th>Cleared</th>"
                "<th>Duration</th><th>Value at the trip</th></tr>\n") +
            AlarmRows(f, p) + QStringLiteral("</table>\n");
  html += QStringLiteral("<p class=\"note\">Made by VemoSWR at %1.</p>\n</body>\n</html>\n")
              .arg(Escaped(LocalTime(madeMs, p.Zone)));
  r.Html = std::move(html);
  return r;
}

}  // namespace vemo

// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Minimum, maximum and sum of the readings of a stretch of time: one pixel column of a
// chart, one minute of the archive, one block of raw readings, or a whole span.

#include <QtGlobal>

#include <algorithm>
#include <limits>

namespace vemo {

// One reading as the history keeps it. VSWR as the read-outs derive it (DeriveReadout).
struct THistoryReading {
  float Forward = 0;    // W
  float Reflected = 0;  // W
  float VSWR = 0;
  bool Alarm = false;  // the monitor's flag
  // Unkeyed (forward below the keyed level), the VSWR says nothing: it is left out of the
  // VSWR's range and mean, and the chart draws it as "off".
  bool Keyed = true;
  quint16 Sources = 0;  // AlarmSourceBit of the program's alarms active at the reading
};

// Minimum, maximum and sum of one quantity. Sums are kept in double: the mean of a
// million readings stays exact to far below the read-outs' resolution. (Named apart from
// the dial's TRange: one program links both.)
struct TValueRange {
  float Min = std::numeric_limits<float>::infinity();
  float Max = -std::numeric_limits<float>::infinity();
  double Sum = 0;

  void Add(float v) {
    Min = std::min(Min, v);
    Max = std::max(Max, v);
    Sum += v;
  }
  void Merge(const TValueRange& o) {
    Min = std::min(Min, o.Min);
    Max = std::max(Max, o.Max);
    Sum += o.Sum;
  }
};

struct TSummary {
  qint64 Count = 0;     // readings
  qint64 Keyed = 0;     // readings with the transmitter keyed: VSWR covers these only
  qint64 Gaps = 0;      // failed or missing readings
  bool Alarm = false;   // some reading had the alarm on
  quint16 Sources = 0;  // the program's alarms active at some reading
  TValueRange Forward, Reflected, VSWR;

  bool HasData() const { return Count > 0; }
  // Means of the readings; meaningless (NaN) without readings.
  double MeanForward() const { return Mean(Forward); }
  double MeanReflected() const { return Mean(Reflected); }
  double MeanVSWR() const {
    return Keyed ? VSWR.Sum / static_cast<double>(Keyed) : std::numeric_limits<double>::quiet_NaN();
  }
  // Readings, but none keyed: the transmitter was off.
  bool Off() const { return Count > 0 && Keyed == 0; }

  void Add(const THistoryReading& r) {
    ++Count;
    Alarm = Alarm || r.Alarm;
    Sources |= r.Sources;
    Forward.Add(r.Forward);
    Reflected.Add(r.Reflected);
    if (r.Keyed) {
      ++Keyed;
      VSWR.Add(r.VSWR);
    }
  }
  void AddGap() { ++Gaps; }
  void Merge(const TSummary& o) {
    Count += o.Count;
    Keyed += o.Keyed;
    Gaps += o.Gaps;
    Alarm = Alarm || o.Alarm;
    Sources |= o.Sources;
    Forward.Merge(o.Forward);
    Reflected.Merge(o.Reflected);
    VSWR.Merge(o.VSWR);
  }

 private:
  double Mean(const TValueRange& r) const {
    return Count ? r.Sum / static_cast<double>(Count) : std::numeric_limits<double>::quiet_NaN();
  }
};

}  // namespace vemo

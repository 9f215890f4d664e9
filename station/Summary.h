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
  bool Alarm = false;
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
  qint64 Count = 0;    // readings
  qint64 Gaps = 0;     // failed or missing readings
  bool Alarm = false;  // some reading had the alarm on
  TValueRange Forward, Reflected, VSWR;

  bool HasData() const { return Count > 0; }
  // Means of the readings; meaningless (NaN) without readings.
  double MeanForward() const { return Mean(Forward); }
  double MeanReflected() const { return Mean(Reflected); }
  double MeanVSWR() const { return Mean(VSWR); }

  void Add(const THistoryReading& r) {
    ++Count;
    Alarm = Alarm || r.Alarm;
    Forward.Add(r.Forward);
    Reflected.Add(r.Reflected);
    VSWR.Add(r.VSWR);
  }
  void AddGap() { ++Gaps; }
  void Merge(const TSummary& o) {
    Count += o.Count;
    Gaps += o.Gaps;
    Alarm = Alarm || o.Alarm;
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

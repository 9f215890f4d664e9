// SPDX-License-Identifier: GPL-3.0-or-later
#include "store/DriftBaseline.h"

#include "store/HistoryQueries.h"
#include "store/HistoryStore.h"
#include "store/Sqlite.h"

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <string>
#include <vector>

namespace vemo {

namespace {

constexpr qint64 kHourMs = 3'600'000;
constexpr int kBaselineDays = 7;
constexpr char kReferenceKey[] = "drift_reference";

double Median(std::vector<double>& values) {
  if (values.empty()) return 0;
  const auto middle = values.begin() + static_cast<long>(values.size() / 2);
  std::nth_element(values.begin(), middle, values.end());
  if (values.size() % 2) return *middle;
  return (*middle + *std::max_element(values.begin(), middle)) / 2;
}

}  // namespace

TDriftBaseline MedianBaseline(SqliteDb& db, qint64 nowMs) {
  // The same hour of the day, in whole hours of UTC, on each of the days before.
  SqliteStatement s = db.Prepare(
      "SELECT forward_sum / count, reflected_sum / count, vswr_sum / count FROM minutes "
      "WHERE start_ms >= ? AND start_ms < ? AND count > 0 AND keyed_ms > 0");
  std::vector<double> forward, reflected, vswr;
  const qint64 hour = nowMs - nowMs % kHourMs;
  for (int day = 1; day <= kBaselineDays; ++day) {
    s.Reset();
    s.Bind(1, hour - day * 24 * kHourMs);
    s.Bind(2, hour - day * 24 * kHourMs + kHourMs);
    while (s.Step()) {
      forward.push_back(s.Double(0));
      reflected.push_back(s.Double(1));
      vswr.push_back(s.Double(2));
    }
  }
  return {Median(forward), Median(reflected), Median(vswr)};
}

TDriftBaseline StoredReference(SqliteDb& db) {
  const std::string text = StoredSetting(db, kReferenceKey);
  TDriftBaseline r;
  double* fields[] = {&r.Forward, &r.Reflected, &r.VSWR};
  const char* p = text.data();
  const char* end = text.data() + text.size();
  for (double* field : fields) {
    const auto [next, error] = std::from_chars(p, end, *field);
    if (error != std::errc()) return {};
    p = next < end && *next == ',' ? next + 1 : next;
  }
  return r;
}

void StoreReference(SqliteDb& db, const TDriftBaseline& reference) {
  char text[128];
  std::snprintf(text, sizeof text, "%.9g,%.9g,%.9g", reference.Forward, reference.Reflected,
                reference.VSWR);
  StoreSetting(db, kReferenceKey, reference == TDriftBaseline{} ? std::string() : text);
}

TDriftBaseline DriftBaselineOf(SqliteDb& db, qint64 nowMs) {
  const TDriftBaseline reference = StoredReference(db);
  return reference.Forward > 0 ? reference : MedianBaseline(db, nowMs);
}

const TDriftBaseline& DriftBaselineCache::At(HistoryStore& store, qint64 nowMs) {
  const qint64 hour = nowMs / kHourMs;
  if (hour == hour_) return baseline_;
  hour_ = hour;
  try {
    if (!store.Read([&](SqliteDb& db) { baseline_ = DriftBaselineOf(db, nowMs); })) baseline_ = {};
  } catch (const StoreError&) {
    baseline_ = {};
  }
  return baseline_;
}

}  // namespace vemo

// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The readings of the last hours and days, for the trend chart, its statistics and
// export. Raw readings (and gaps) are kept for RawWindowMs; every reading also goes into
// a per-minute archive of minimum, maximum and mean kept for ArchiveWindowMs. Times are
// wall-clock milliseconds since the epoch, given by the caller.
//
// Raw readings sit in fixed blocks, each with its summary, so a chart column
// spanning many blocks merges their summaries instead of visiting every reading; the
// result is the same as a scan of the readings (the means up to the order of summation).
//
// Not thread-safe: one owner (the window or one monitor's poller) appends and queries.

#include "station/DenseQueue.h"
#include "station/Statistics.h"
#include "station/Summary.h"

#include <QtGlobal>

#include <array>
#include <cstddef>
#include <deque>
#include <optional>
#include <string>
#include <vector>

namespace vemo {

struct TMonitorReading;

struct THistoryOptions {
  qint64 RawWindowMs = 24 * 3600 * 1000LL;
  qint64 ArchiveWindowMs = 30 * 24 * 3600 * 1000LL;
  // A silence longer than this after a reading is recorded as a gap, so that the chart
  // does not draw a line across it (a stopped poll, a closed port). Keep it above the
  // polling interval.
  qint64 GapAfterMs = 30'000;
};

// A raw entry: a reading, or a gap (a failed or missing reading) without values.
struct THistoryEntry {
  qint64 TimeMs = 0;
  bool Gap = false;
  THistoryReading Reading;
};

// One minute of the archive; StartMs is a multiple of 60,000.
struct TArchiveMinute {
  qint64 StartMs = 0;
  TSummary Summary;
};

// Where the rig was from FromMs on: its frequency (0: not known) and its band.
struct THistoryPlace {
  qint64 FromMs = 0;
  double FrequencyHz = 0;
  std::string Band;
};

// The reading the history keeps of a monitor reading: its powers, alarm flag and the VSWR
// the read-outs show.
THistoryReading HistoryReadingOf(const TMonitorReading& reading);

class ReadingHistory {
 public:
  static constexpr qint64 kMinuteMs = 60'000;
  static constexpr int kMaxColumns = 100'000;

  explicit ReadingHistory(THistoryOptions options = {});

  // O(1). A time earlier than the newest entry's (the wall clock stepped back) is
  // recorded at the newest entry's time, so the history stays in order and loses
  // nothing; the stored times catch up once the clock has passed the old newest time.
  void Append(qint64 timeMs, const THistoryReading& reading);
  void AppendGap(qint64 timeMs);
  // An archive minute of an earlier run, without its raw readings (loading a stored
  // history): taken only while no raw reading is held and after the newest minute. The
  // raw readings appended next are complete from the following minute on.
  void AppendMinute(const TArchiveMinute& minute);
  // Records where the rig is from timeMs on, when that differs from the last place
  // recorded. The rig changes frequency seldom against the readings: a list of changes
  // costs next to nothing, where a frequency in every sample would not.
  void AppendPlace(qint64 timeMs, double frequencyHz, const std::string& band);
  // The place in force at timeMs: none before the first place recorded, or where the
  // frequency was not known.
  std::optional<THistoryPlace> PlaceAt(qint64 timeMs) const;

  // The first time of column i of `columns` equal columns over [fromMs, toMs); column i
  // covers [ColumnStart(i), ColumnStart(i + 1)).
  static qint64 ColumnStart(qint64 fromMs, qint64 toMs, int columns, int i);

  // Summary per column of [fromMs, toMs) into `out` (resized to `columns`; empty when
  // the span or the count is not positive, or the count is above kMaxColumns). A column
  // without readings (Count 0) has no data: draw it as a gap, as any column with Gaps.
  // Where the span lies before RawFromMs(), whole archive minutes go into the column in
  // which they start.
  void Decimate(qint64 fromMs, qint64 toMs, int columns, std::vector<TSummary>& out) const;

  // Minimum, maximum and mean over [fromMs, toMs) (archive minutes before RawFromMs()),
  // and the time the VSWR spent above vswrThreshold, from the raw readings inside the
  // span (each held as ReadingHeldUntil says, cut off at toMs).
  TSpanStatistics Statistics(qint64 fromMs, qint64 toMs, float vswrThreshold) const;

  // Raw entries and archive minutes in [fromMs, toMs), in time order (export, tests).
  std::vector<THistoryEntry> Entries(qint64 fromMs, qint64 toMs) const;
  std::vector<TArchiveMinute> Minutes(qint64 fromMs, qint64 toMs) const;

  bool Empty() const { return archive_.empty(); }
  qint64 NewestMs() const { return newestMs_; }
  // The start of the oldest archive minute kept; 0 when empty.
  qint64 OldestMs() const { return archive_.empty() ? 0 : archive_.front().StartMs; }
  // From this minute on, the raw readings are complete; before it only the archive.
  qint64 RawFromMs() const { return rawFromMs_; }
  size_t RawCount() const;
  // Bytes held by the containers, allocated capacity included.
  size_t MemoryBytes() const;
  const THistoryOptions& Options() const { return options_; }

 private:
  static constexpr int kBlockSize = 64;
  struct Sample {
    qint64 TimeMs;
    float Forward, Reflected, VSWR;
    quint8 Flags;
    quint16 Sources;
  };
  static THistoryReading ReadingOf(const Sample& s);
  using Block = std::array<Sample, kBlockSize>;
  // Kept apart from the samples, so that merging many blocks reads one dense array.
  struct BlockSummary {
    qint64 LastMs = 0;
    int Count = 0;
    TSummary Summary;
  };

  void Store(qint64 timeMs, const THistoryReading* reading);
  void DropExpired();
  // Index of the first raw sample at or after timeMs, searching from index `from` on.
  size_t LowerBound(qint64 timeMs, size_t from = 0) const;
  const Sample& At(size_t index) const;
  void SummarizeRaw(size_t first, size_t last, TSummary& into) const;
  size_t FirstMinuteAt(qint64 timeMs) const;

  THistoryOptions options_;
  std::deque<Block> blocks_;
  DenseQueue<BlockSummary> summaries_;  // one per block
  DenseQueue<TArchiveMinute> archive_;
  std::deque<THistoryPlace> places_;
  qint64 newestMs_ = 0;
  bool lastIsReading_ = false;
  qint64 rawFromMs_;
};

}  // namespace vemo

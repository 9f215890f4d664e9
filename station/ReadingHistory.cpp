// SPDX-License-Identifier: GPL-3.0-or-later
#include "station/ReadingHistory.h"

#include "monitor/VSWRMon.h"
#include "station/Readout.h"

#include <algorithm>
#include <iterator>
#include <limits>

namespace vemo {

namespace {

constexpr quint8 kGap = 1;
constexpr quint8 kAlarm = 2;
constexpr quint8 kUnkeyed = 4;

qint64 FloorToMinute(qint64 t) {
  const qint64 m = ReadingHistory::kMinuteMs;
  return t - ((t % m) + m) % m;
}

}  // namespace

THistoryReading HistoryReadingOf(const TMonitorReading& reading) {
  return {reading.Forward, reading.Reflected,
          static_cast<float>(DeriveVSWR(reading.Forward, reading.Reflected)), reading.Alarm};
}

ReadingHistory::ReadingHistory(THistoryOptions options)
    : options_(options), rawFromMs_(std::numeric_limits<qint64>::min()) {}

void ReadingHistory::Append(qint64 timeMs, const THistoryReading& reading) {
  if (lastIsReading_ && timeMs - newestMs_ > options_.GapAfterMs)
    Store(newestMs_ + options_.GapAfterMs, nullptr);
  Store(timeMs, &reading);
}

void ReadingHistory::AppendGap(qint64 timeMs) {
  Store(timeMs, nullptr);
}

void ReadingHistory::AppendMinute(const TArchiveMinute& minute) {
  if (!summaries_.empty() || (!archive_.empty() && minute.StartMs <= archive_.back().StartMs))
    return;
  archive_.push_back(minute);
  newestMs_ = minute.StartMs;
  lastIsReading_ = false;
  rawFromMs_ = minute.StartMs + kMinuteMs;
}

void ReadingHistory::AppendPlace(qint64 timeMs, double frequencyHz, const std::string& band) {
  // The place in force at the oldest minute kept stays; those before it go.
  const qint64 oldest = OldestMs();
  while (places_.size() > 1 && places_[1].FromMs <= oldest) places_.pop_front();
  if (places_.empty() && frequencyHz <= 0) return;
  if (!places_.empty()) {
    const THistoryPlace& last = places_.back();
    if (last.FrequencyHz == frequencyHz && last.Band == band) return;
    timeMs = std::max(timeMs, last.FromMs);
  }
  places_.push_back({timeMs, frequencyHz, band});
}

std::optional<THistoryPlace> ReadingHistory::PlaceAt(qint64 timeMs) const {
  const auto after =
      std::upper_bound(places_.begin(), places_.end(), timeMs,
                       [](qint64 t, const THistoryPlace& p) { return t < p.FromMs; });
  if (after == places_.begin() || std::prev(after)->FrequencyHz <= 0) return std::nullopt;
  return *std::prev(after);
}

void ReadingHistory::Store(qint64 timeMs, const THistoryReading* reading) {
  if (!Empty()) timeMs = std::max(timeMs, newestMs_);
  newestMs_ = timeMs;
  lastIsReading_ = reading != nullptr;

  const bool newBlock = summaries_.empty() || summaries_.back().Count == kBlockSize;
  if (newBlock) {
    blocks_.emplace_back();
    summaries_.push_back({});
  }
  BlockSummary& block = summaries_.back();
  Sample& s = blocks_.back()[static_cast<size_t>(block.Count++)];
  block.LastMs = timeMs;

  const qint64 minute = FloorToMinute(timeMs);
  if (archive_.empty() || archive_.back().StartMs != minute) {
    archive_.push_back({minute, {}});
    const qint64 archiveLimit = timeMs - options_.ArchiveWindowMs;
    while (archive_.front().StartMs + kMinuteMs <= archiveLimit) archive_.pop_front();
  }
  TSummary& archived = archive_.back().Summary;
  if (reading) {
    s = {timeMs,
         reading->Forward,
         reading->Reflected,
         reading->VSWR,
         static_cast<quint8>((reading->Alarm ? kAlarm : 0) | (reading->Keyed ? 0 : kUnkeyed)),
         reading->Sources};
    block.Summary.Add(*reading);
    archived.Add(*reading);
  } else {
    s = {timeMs, 0, 0, 0, kGap, 0};
    block.Summary.AddGap();
    archived.AddGap();
  }
  if (newBlock) DropExpired();
}

void ReadingHistory::DropExpired() {
  const qint64 rawLimit = newestMs_ - options_.RawWindowMs;
  while (summaries_.size() > 1 && summaries_.front().LastMs < rawLimit) {
    // The rest of that minute's raw readings are no longer complete: the archive
    // answers for it.
    rawFromMs_ = FloorToMinute(summaries_.front().LastMs) + kMinuteMs;
    blocks_.pop_front();
    summaries_.pop_front();
  }
}

size_t ReadingHistory::RawCount() const {
  return summaries_.empty()
             ? 0
             : (summaries_.size() - 1) * kBlockSize + static_cast<size_t>(summaries_.back().Count);
}

const ReadingHistory::Sample& ReadingHistory::At(size_t index) const {
  return blocks_[index / kBlockSize][index % kBlockSize];
}

size_t ReadingHistory::LowerBound(qint64 timeMs, size_t from) const {
  const auto block = std::partition_point(summaries_.begin() + from / kBlockSize, summaries_.end(),
                                          [&](const BlockSummary& b) { return b.LastMs < timeMs; });
  if (block == summaries_.end()) return RawCount();
  const size_t k = static_cast<size_t>(block - summaries_.begin());
  const auto first = blocks_[k].begin();
  const auto sample = std::partition_point(first, first + block->Count,
                                           [&](const Sample& s) { return s.TimeMs < timeMs; });
  return std::max(from, k * kBlockSize + static_cast<size_t>(sample - first));
}

THistoryReading ReadingHistory::ReadingOf(const Sample& s) {
  return {s.Forward, s.Reflected, s.VSWR, (s.Flags & kAlarm) != 0, (s.Flags & kUnkeyed) == 0,
          s.Sources};
}

void ReadingHistory::SummarizeRaw(size_t first, size_t last, TSummary& into) const {
  while (first < last) {
    const size_t k = first / kBlockSize, offset = first % kBlockSize;
    const BlockSummary& block = summaries_[k];
    const size_t end = std::min(static_cast<size_t>(block.Count), offset + (last - first));
    if (offset == 0 && end == static_cast<size_t>(block.Count)) {
      into.Merge(block.Summary);
    } else {
      for (size_t i = offset; i < end; ++i) {
        const Sample& s = blocks_[k][i];
        if (s.Flags & kGap)
          into.AddGap();
        else
          into.Add(ReadingOf(s));
      }
    }
    first += end - offset;
  }
}

size_t ReadingHistory::FirstMinuteAt(qint64 timeMs) const {
  return static_cast<size_t>(
      std::partition_point(archive_.begin(), archive_.end(),
                           [&](const TArchiveMinute& m) { return m.StartMs < timeMs; }) -
      archive_.begin());
}

qint64 ReadingHistory::ColumnStart(qint64 fromMs, qint64 toMs, int columns, int i) {
  // from + span * i / columns without overflow: split span into quotient and remainder.
  const quint64 span = static_cast<quint64>(toMs) - static_cast<quint64>(fromMs);
  const quint64 n = static_cast<quint64>(columns), k = static_cast<quint64>(i);
  return static_cast<qint64>(static_cast<quint64>(fromMs) + span / n * k + span % n * k / n);
}

void ReadingHistory::Decimate(qint64 fromMs, qint64 toMs, int columns,
                              std::vector<TSummary>& out) const {
  out.clear();
  if (columns <= 0 || columns > kMaxColumns || toMs <= fromMs) return;
  out.resize(static_cast<size_t>(columns));
  size_t minute = FirstMinuteAt(fromMs);
  size_t raw = LowerBound(std::max(fromMs, rawFromMs_));
  for (int i = 0; i < columns; ++i) {
    const qint64 end = ColumnStart(fromMs, toMs, columns, i + 1);
    TSummary& column = out[static_cast<size_t>(i)];
    const qint64 archiveEnd = std::min(end, rawFromMs_);
    for (; minute < archive_.size() && archive_[minute].StartMs < archiveEnd; ++minute)
      column.Merge(archive_[minute].Summary);
    if (end > rawFromMs_) {
      const size_t rawEnd = LowerBound(end, raw);
      SummarizeRaw(raw, rawEnd, column);
      raw = rawEnd;
    }
  }
}

TSpanStatistics ReadingHistory::Statistics(qint64 fromMs, qint64 toMs, float vswrThreshold) const {
  TSpanStatistics stats;
  stats.TimeAboveFromMs = std::max(fromMs, rawFromMs_);
  if (toMs <= fromMs) return stats;
  for (size_t m = FirstMinuteAt(fromMs);
       m < archive_.size() && archive_[m].StartMs < std::min(toMs, rawFromMs_); ++m)
    stats.Summary.Merge(archive_[m].Summary);
  if (toMs <= rawFromMs_) return stats;
  const size_t first = LowerBound(stats.TimeAboveFromMs), last = LowerBound(toMs);
  SummarizeRaw(first, last, stats.Summary);
  const size_t count = RawCount();
  for (size_t i = first; i < last; ++i) {
    const Sample& s = At(i);
    if ((s.Flags & (kGap | kUnkeyed)) || !(s.VSWR > vswrThreshold)) continue;
    const qint64 next = i + 1 < count ? At(i + 1).TimeMs : std::numeric_limits<qint64>::max();
    stats.TimeAboveMs +=
        std::min(ReadingHeldUntil(s.TimeMs, next, options_.GapAfterMs), toMs) - s.TimeMs;
  }
  return stats;
}

std::vector<THistoryEntry> ReadingHistory::Entries(qint64 fromMs, qint64 toMs) const {
  std::vector<THistoryEntry> entries;
  const size_t last = LowerBound(toMs);
  for (size_t i = LowerBound(fromMs); i < last; ++i) {
    const Sample& s = At(i);
    entries.push_back({s.TimeMs, (s.Flags & kGap) != 0, ReadingOf(s)});
  }
  return entries;
}

std::vector<TArchiveMinute> ReadingHistory::Minutes(qint64 fromMs, qint64 toMs) const {
  std::vector<TArchiveMinute> minutes;
  for (size_t m = FirstMinuteAt(fromMs); m < archive_.size() && archive_[m].StartMs < toMs; ++m)
    minutes.push_back(archive_[m]);
  return minutes;
}

size_t ReadingHistory::MemoryBytes() const {
  // libstdc++'s deque holds elements larger than 512 bytes one per node, and a map of
  // node pointers.
  return sizeof(*this) + blocks_.size() * (sizeof(Block) + sizeof(void*)) +
         summaries_.CapacityBytes() + archive_.CapacityBytes() +
         places_.size() * sizeof(THistoryPlace);
}

}  // namespace vemo

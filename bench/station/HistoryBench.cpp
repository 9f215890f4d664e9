// SPDX-License-Identifier: GPL-3.0-or-later
// Run: build/bench/station_bench. The reading history's costs: appending, decimating for
// the trend chart, and memory after 30 days at 10 readings per second.
#include "station/ReadingHistory.h"

#include <benchmark/benchmark.h>

#include <fstream>
#include <random>
#include <string>

namespace vemo {
namespace {

constexpr qint64 kStart = 1'700'000'000'000;
constexpr qint64 kDay = 24 * 3'600'000LL;

THistoryReading NextReading(std::minstd_rand& rng) {
  const float f = 50 + static_cast<float>(rng() % 1000) / 10;
  return {f, f / 50, 1.2f + static_cast<float>(rng() % 100) / 100, rng() % 100 == 0};
}

// A history of `days` at one reading every stepMs.
ReadingHistory Filled(THistoryOptions options, qint64 days, qint64 stepMs) {
  ReadingHistory history(options);
  std::minstd_rand rng(1);
  for (qint64 t = kStart; t < kStart + days * kDay; t += stepMs)
    history.Append(t, NextReading(rng));
  return history;
}

size_t ResidentBytes() {
  std::ifstream statm("/proc/self/statm");
  size_t pages = 0, resident = 0;
  statm >> pages >> resident;
  return resident * 4096;
}

// In steady state: a full day of raw readings, so blocks and minutes also expire.
void BM_Append(benchmark::State& state) {
  ReadingHistory history = Filled({}, 1, 100);
  std::minstd_rand rng(2);
  qint64 t = history.NewestMs();
  for (auto _ : state) {
    t += 100;
    history.Append(t, NextReading(rng));
  }
  benchmark::DoNotOptimize(history.RawCount());
}
BENCHMARK(BM_Append)->Repetitions(5)->ReportAggregatesOnly()->Unit(benchmark::kNanosecond);

void Decimate(benchmark::State& state, const ReadingHistory& history, qint64 from) {
  std::vector<TSummary> columns;
  for (auto _ : state) {
    history.Decimate(from, history.NewestMs() + 1, 1000, columns);
    benchmark::DoNotOptimize(columns.data());
  }
}

// 24 h at 2 readings/s (172,800) into 1,000 columns.
void BM_Decimate_24h_2PerSecond(benchmark::State& state) {
  static const ReadingHistory history = Filled({}, 1, 500);
  Decimate(state, history, kStart);
}
BENCHMARK(BM_Decimate_24h_2PerSecond)->Unit(benchmark::kMicrosecond);

// 7 days at 10 readings/s (6,048,000) into 1,000 columns, all of them raw: a history
// configured to keep 7 days raw, the dearest case for the decimation.
void BM_Decimate_7d_10PerSecond_AllRaw(benchmark::State& state) {
  THistoryOptions options;
  options.RawWindowMs = 7 * kDay;
  static const ReadingHistory history = Filled(options, 7, 100);
  state.counters["raw_readings"] = static_cast<double>(history.RawCount());
  Decimate(state, history, kStart);
}
BENCHMARK(BM_Decimate_7d_10PerSecond_AllRaw)->Unit(benchmark::kMicrosecond);

// The same 7 days with the default windows: 6 days from the per-minute archive, the last
// day raw.
void BM_Decimate_7d_10PerSecond_ArchiveAndRaw(benchmark::State& state) {
  static const ReadingHistory history = Filled({}, 7, 100);
  state.counters["raw_readings"] = static_cast<double>(history.RawCount());
  Decimate(state, history, kStart);
}
BENCHMARK(BM_Decimate_7d_10PerSecond_ArchiveAndRaw)->Unit(benchmark::kMicrosecond);

// Memory after 30 days at 10 readings/s with the default windows: the containers'
// allocated bytes, the growth of the resident set, and the cost per raw reading (raw
// storage with its block summaries, the archive minutes of the same day included).
void BM_Memory_30d_10PerSecond(benchmark::State& state) {
  for (auto _ : state) {
    const size_t before = ResidentBytes();
    const ReadingHistory month = Filled({}, 30, 100);
    // Expired blocks go back to the allocator, which may keep them: an upper bound.
    state.counters["rss_growth_MiB"] = static_cast<double>(ResidentBytes() - before) / (1 << 20);
    state.counters["MiB_after_30d"] = static_cast<double>(month.MemoryBytes()) / (1 << 20);
    const ReadingHistory day = Filled({}, 1, 100);
    state.counters["bytes_per_reading"] =
        static_cast<double>(day.MemoryBytes()) / static_cast<double>(day.RawCount());
    state.counters["raw_readings"] = static_cast<double>(month.RawCount());
    state.counters["archive_minutes"] =
        static_cast<double>(month.Minutes(kStart, month.NewestMs() + 1).size());
  }
}
BENCHMARK(BM_Memory_30d_10PerSecond)->Iterations(1)->Unit(benchmark::kSecond);

}  // namespace
}  // namespace vemo

BENCHMARK_MAIN();

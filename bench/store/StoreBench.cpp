// SPDX-License-Identifier: GPL-3.0-or-later
// Run: build/bench/store_bench [scratch folder]. The stored history's costs:
//  - readings stored per second of one core (both threads counted) at batch sizes 1, 10
//    and 100, and what 10 monitors at 10 readings/s cost at each;
//  - loading 7 days of raw readings at 1/s and a year of minutes into a ReadingHistory;
//  - the size on disk of one day at 1 and at 10 readings/s.
// build/bench/store_bench --writer DB BATCH: stores readings numbered 0, 1, 2... in
// batches, printing the count after each batch is on disk, until killed.
#include "monitor/VSWRMon.h"
#include "station/ReadingHistory.h"
#include "store/HistoryStore.h"
#include "store/Sqlite.h"

#include <time.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <random>
#include <string>

namespace vemo {
namespace {

constexpr qint64 kStart = 1'700'000'040'000;
constexpr qint64 kDay = kStoreDayMs;

double CpuSeconds() {
  timespec ts{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
  return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) / 1e9;
}

double WallSeconds() {
  return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

TMonitorReading NextReading(std::minstd_rand& rng) {
  TMonitorReading r;
  r.Forward = 50 + static_cast<float>(rng() % 1000) / 10;
  r.Reflected = r.Forward / (20 + static_cast<float>(rng() % 100));
  r.Alarm = rng() % 100 == 0;
  return r;
}

std::uintmax_t SizeOf(const std::string& path) {
  std::uintmax_t total = 0;
  for (const char* suffix : {"", "-wal"}) {
    std::error_code ec;
    const auto size = std::filesystem::file_size(path + suffix, ec);
    if (!ec) total += size;
  }
  return total;
}

void StoreRate(const std::string& dir, int batch) {
  const std::string path = dir + "/rate-" + std::to_string(batch) + ".sqlite";
  std::minstd_rand rng(1);
  TStoreOptions o;
  o.FlushEveryMs = 3'600'000;
  o.BatchReadings = batch;
  const int readings = batch == 1 ? 3'000 : 30'000;
  double cpu = 0, wall = 0;
  {
    HistoryStore store(path, o);
    const double c0 = CpuSeconds(), w0 = WallSeconds();
    for (int i = 0; i < readings; ++i) {
      store.Add(kStart + i * 100LL, NextReading(rng), {0, true});
      if ((i + 1) % batch == 0) store.Flush();
    }
    cpu = CpuSeconds() - c0;
    wall = WallSeconds() - w0;
  }
  const double perCpuSecond = readings / cpu;
  std::printf(
      "batch %3d: %8.0f readings per CPU second (%6.0f per wall second); "
      "10 monitors x 10/s: %.3f %% of a core\n",
      batch, perCpuSecond, readings / wall, 100.0 * 100 / perCpuSecond);
  std::filesystem::remove(path);
}

void Fill(const std::string& path, qint64 fromMs, qint64 toMs, qint64 stepMs) {
  std::minstd_rand rng(2);
  TStoreOptions o;
  o.FlushEveryMs = 3'600'000;
  o.BatchReadings = 20'000;
  o.RawKeepMs = o.SummaryKeepMs = 400 * kDay;
  HistoryStore store(path, o);
  for (qint64 t = fromMs; t < toMs; t += stepMs) store.Add(t, NextReading(rng), {0, true});
}

void LoadTime(const std::string& dir) {
  const std::string path = dir + "/load.sqlite";
  const qint64 now = kStart + 365 * kDay;
  {
    // A year of minutes without raw readings (one reading each), then a week at 1/s.
    SqliteDb db(path, SqliteDb::Mode::ReadWrite);
    CreateHistorySchema(db, {"time", "forward_w", "reflected_w", "vswr", "alarm"});
    db.Exec("BEGIN");
    MinuteAccumulator minutes;
    std::minstd_rand rng(3);
    for (qint64 t = kStart; t < now - 7 * kDay; t += 60'000) {
      const TMonitorReading r = NextReading(rng);
      minutes.Add(t, HistoryReadingOf(r), true);
    }
    MergeMinutes(db, minutes.Take());
    db.Exec("COMMIT");
  }
  Fill(path, now - 7 * kDay, now, 1000);
  const double c0 = CpuSeconds(), w0 = WallSeconds();
  ReadingHistory history(THistoryOptions{7 * kDay, 365 * kDay, 30'000});
  {
    HistoryStore store(path);
    store.LoadInto(history, now);
  }
  std::printf(
      "load 7 days raw at 1/s + 1 year of minutes: %zu raw, %zu minutes in %.3f s "
      "(%.3f s CPU), file %.1f MiB\n",
      history.RawCount(), history.Minutes(0, now + 1).size(), WallSeconds() - w0, CpuSeconds() - c0,
      static_cast<double>(SizeOf(path)) / (1 << 20));
  std::filesystem::remove(path);
}

void DaySize(const std::string& dir, int perSecond) {
  const std::string path = dir + "/day-" + std::to_string(perSecond) + ".sqlite";
  Fill(path, kStart, kStart + kDay, 1000 / perSecond);
  {
    SqliteDb db(path, SqliteDb::Mode::ReadWrite);
    db.Exec("PRAGMA wal_checkpoint(TRUNCATE)");
  }
  std::printf("one day at %2d readings/s: %.1f MiB\n", perSecond,
              static_cast<double>(SizeOf(path)) / (1 << 20));
  std::filesystem::remove(path);
}

int Writer(const std::string& path, int batch) {
  TStoreOptions o;
  o.FlushEveryMs = 3'600'000;
  o.BatchReadings = batch;
  HistoryStore store(path, o);
  std::minstd_rand rng(4);
  for (qint64 n = 0;; ++n) {
    store.Add(n, NextReading(rng), {0, true});
    if ((n + 1) % batch == 0) {
      store.Flush();
      std::printf("%lld\n", static_cast<long long>(n + 1));
      std::fflush(stdout);
    }
  }
}

}  // namespace
}  // namespace vemo

int main(int argc, char** argv) {
  if (argc == 4 && std::string(argv[1]) == "--writer")
    return vemo::Writer(argv[2], std::stoi(argv[3]));
  const std::string dir = argc > 1 ? argv[1] : std::filesystem::temp_directory_path().string();
  for (int batch : {1, 10, 100}) vemo::StoreRate(dir, batch);
  vemo::LoadTime(dir);
  for (int perSecond : {1, 10}) vemo::DaySize(dir, perSecond);
}

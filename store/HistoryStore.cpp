// SPDX-License-Identifier: GPL-3.0-or-later
#include "store/HistoryStore.h"

#include "monitor/VSWRMon.h"
#include "station/AlarmEvaluator.h"
#include "station/AlarmLog.h"
#include "station/Plausibility.h"
#include "station/ReadingCsv.h"
#include "station/ReadingHistory.h"
#include "store/Sqlite.h"

#include <QDateTime>

#include <algorithm>
#include <chrono>
#include <filesystem>

namespace vemo {

struct HistoryStore::Item {
  enum Kind { Reading, Gap, Event } Kind = Reading;
  qint64 TimeMs = 0;
  TMonitorReading Value;
  TReadingMarks Marks;
  std::optional<TReadingPlace> Place;
  TAlarmEvent AlarmEvent;
};

namespace {

// Pruning removes at most this many rows per table and batch beyond the batch's own
// count, so that a long backlog (the program was off for a month) goes in slices.
constexpr int kPruneSlice = 2000;

}  // namespace

HistoryStore::HistoryStore(std::string path, TStoreOptions options, Notify notify)
    : path_(std::move(path)),
      options_(options),
      notify_(std::move(notify)),
      columns_(ReadingLogCsvColumns()),
      minutes_(options.GapAfterMs) {
  Open();
  writer_ = std::thread([this] { Run(); });
}

HistoryStore::~HistoryStore() {
  {
    std::lock_guard lock(queueLock_);
    stop_ = true;
  }
  wake_.notify_one();
  writer_.join();
}

void HistoryStore::Open() {
  std::error_code ec;
  std::filesystem::create_directories(std::filesystem::path(path_).parent_path(), ec);
  for (int attempt = 0; attempt < 2; ++attempt) {
    try {
      db_ = std::make_unique<SqliteDb>(path_, SqliteDb::Mode::ReadWrite);
      db_->Exec("PRAGMA journal_mode=WAL; PRAGMA synchronous=FULL;");
      CreateHistorySchema(*db_, columns_);
      persisting_ = true;
      return;
    } catch (const StoreError& e) {
      db_.reset();
      if (attempt == 0 && e.Damaged()) {
        SetAside(e.what());
        continue;
      }
      Fail(std::string("The history cannot be kept in ") + path_ + " (" + e.what() +
           "). Readings are not stored until it can be written; check that the folder is "
           "writable and the disk has room.");
      return;
    }
  }
}

void HistoryStore::SetAside(const std::string& why) {
  db_.reset();
  const std::string aside =
      path_ + ".damaged-" + QDateTime::currentDateTime().toString(u"yyyyMMdd-HHmmss").toStdString();
  std::error_code ec;
  std::filesystem::rename(path_, aside, ec);
  // The journal belongs to the damaged file: it goes with it.
  for (const char* suffix : {"-wal", "-shm"}) {
    std::error_code ignored;
    std::filesystem::rename(path_ + suffix, aside + suffix, ignored);
  }
  if (notify_)
    notify_(false, "The history database " + path_ + " is damaged (" + why + "). It was kept as " +
                       aside + " and a new one started.");
}

void HistoryStore::Fail(const std::string& message) {
  persisting_ = false;
  if (failing_) return;
  failing_ = true;
  if (notify_) notify_(true, message);
}

void HistoryStore::LoadInto(ReadingHistory& history, qint64 nowMs) {
  std::lock_guard lock(dbLock_);
  if (!db_) return;
  try {
    LoadHistory(*db_, history, nowMs);
  } catch (const StoreError& e) {
    if (!e.Damaged()) {
      if (notify_)
        notify_(false,
                std::string("The stored history of ") + path_ + " could not be read: " + e.what());
      return;
    }
    SetAside(e.what());
    Open();
  }
}

bool HistoryStore::Read(const std::function<void(SqliteDb&)>& f) {
  std::lock_guard lock(dbLock_);
  if (!db_) return false;
  f(*db_);
  return true;
}

void HistoryStore::Enqueue(Item item) {
  bool full;
  {
    std::lock_guard lock(queueLock_);
    if (item.Kind != Item::Event) ++queuedReadings_;
    queue_.push_back(std::move(item));
    ++enqueued_;
    full = queuedReadings_ >= options_.BatchReadings;
  }
  if (full) wake_.notify_one();
}

void HistoryStore::Add(qint64 timeMs, const TMonitorReading& reading, const TReadingMarks& marks,
                       std::optional<TReadingPlace> place) {
  Enqueue({Item::Reading, timeMs, reading, marks, std::move(place), {}});
}

void HistoryStore::AddGap(qint64 timeMs) {
  Enqueue({Item::Gap, timeMs, {}, {{}, false}, {}, {}});
}

void HistoryStore::AddEvent(const TAlarmEvent& event) {
  Enqueue({Item::Event, event.TimeMs, {}, {{}, false}, {}, event});
}

void HistoryStore::Flush() {
  std::unique_lock lock(queueLock_);
  const quint64 target = enqueued_;
  flushWanted_ = true;
  wake_.notify_one();
  written_.wait(lock, [&] { return done_ >= target; });
}

void HistoryStore::Run() {
  std::unique_lock lock(queueLock_);
  for (;;) {
    wake_.wait_for(lock, std::chrono::milliseconds(options_.FlushEveryMs), [&] {
      return stop_ || flushWanted_ || queuedReadings_ >= options_.BatchReadings;
    });
    flushWanted_ = false;
    if (!queue_.empty()) {
      std::vector<Item> batch = std::exchange(queue_, {});
      queuedReadings_ = 0;
      const quint64 upTo = enqueued_;
      lock.unlock();
      Write(batch);
      lock.lock();
      done_ = upTo;
    }
    written_.notify_all();
    if (stop_ && queue_.empty()) return;
  }
}

void HistoryStore::Write(const std::vector<Item>& batch) {
  // The minutes are summed even when the batch is not written, so that the next batch
  // does not count a reading's time twice.
  for (const Item& item : batch) {
    // An implausible reading is kept with its flag, but it measured nothing.
    if (item.Kind == Item::Reading && JudgeReading(item.Value) == Implausibility::None)
      minutes_.Add(item.TimeMs, HistoryReadingOf(item.Value), item.Marks.Keyed);
    else if (item.Kind != Item::Event)
      minutes_.AddGap(item.TimeMs);
  }
  std::lock_guard lock(dbLock_);
  const auto readings = static_cast<qint64>(std::count_if(
      batch.begin(), batch.end(), [](const Item& i) { return i.Kind != Item::Event; }));
  if (!db_) Open();  // the folder may have become writable
  if (!db_) {
    notStored_ += readings;
    minutes_.Take();
    return;
  }
  try {
    WriteOnce(batch);
  } catch (const StoreError& e) {
    try {
      db_->Exec("ROLLBACK");
    } catch (const StoreError&) {
      // Nothing was begun, or SQLite rolled back itself.
    }
    if (e.Damaged()) {
      SetAside(e.what());
      Open();
    } else {
      Fail("The history could not be written to " + path_ + " (" + e.what() +
           "). Readings are not stored while this lasts; the program goes on and tries again.");
    }
    notStored_ += readings;
    return;
  }
  if (failing_) {
    failing_ = false;
    persisting_ = true;
    if (notify_) notify_(false, "The history is stored again in " + path_ + ".");
  }
}

void HistoryStore::WriteOnce(const std::vector<Item>& batch) {
  std::map<qint64, TStoredMinute> changed = minutes_.Take();
  SqliteDb& db = *db_;
  db.Exec("BEGIN IMMEDIATE");
  // The log's fields go under their columns' names; its time and keyed have columns of
  // their own, as integers.
  std::string sql = "INSERT INTO readings(time_ms, keyed";
  std::string values = "?, ?";
  std::vector<size_t> stored;
  for (size_t i = 0; i < columns_.size(); ++i) {
    if (columns_[i] == "time" || columns_[i] == "keyed") continue;
    sql += ", " + QuotedName(columns_[i]);
    values += ", ?";
    stored.push_back(i);
  }
  SqliteStatement reading = db.Prepare(sql + ") VALUES(" + values + ")");
  SqliteStatement event = db.Prepare("INSERT INTO alarm_events VALUES(?, ?, ?, ?, ?, ?)");
  qint64 newest = 0;
  for (const Item& item : batch) {
    newest = std::max(newest, item.TimeMs);
    if (item.Kind == Item::Event) {
      const TAlarmEvent& e = item.AlarmEvent;
      event.Reset();
      event.Bind(1, e.TimeMs);
      event.Bind(2, static_cast<qint64>(e.Id));
      event.Bind(3, std::string(AlarmSourceName(e.Source)));
      event.Bind(4, AlarmEventText(e));
      event.Bind(5, e.Value);
      event.Bind(6, e.Level);
      event.Step();
      continue;
    }
    reading.Reset();
    reading.Bind(1, item.TimeMs);
    reading.Bind(2, static_cast<qint64>(item.Marks.Keyed ? 1 : 0));
    if (item.Kind == Item::Reading) {
      const std::vector<std::string> fields = ReadingLogCsvFields(
          item.TimeMs, item.Value, item.Marks, item.Place ? &*item.Place : nullptr);
      for (size_t i = 0; i < stored.size(); ++i)
        reading.Bind(static_cast<int>(i) + 3, fields[stored[i]]);
    }
    reading.Step();
  }
  MergeMinutes(db, changed);

  const auto prune = [&](const char* table, const char* column, qint64 beforeMs) {
    SqliteStatement s =
        db.Prepare(std::string("DELETE FROM ") + table + " WHERE rowid IN (SELECT rowid FROM " +
                   table + " WHERE " + column + " < ? ORDER BY " + column + " LIMIT ?)");
    s.Bind(1, beforeMs);
    s.Bind(2, static_cast<qint64>(batch.size()) + kPruneSlice);
    s.Step();
  };
  prune("readings", "time_ms", newest - options_.RawKeepMs);
  prune("minutes", "start_ms", newest - options_.SummaryKeepMs);
  prune("alarm_events", "time_ms", newest - options_.SummaryKeepMs);
  db.Exec("COMMIT");
}

}  // namespace vemo

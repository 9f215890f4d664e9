// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The history of one monitor on disk, in an SQLite database of its own: every reading with
// the log's columns and whether the transmitter was keyed, every alarm event, and
// per-minute summaries (minimum, maximum, mean, time in alarm, time keyed).
//
// Callers queue; a writer thread writes one transaction per FlushEveryMs or per
// BatchReadings readings, so that polling and painting never wait for the disk. The
// journal is a write-ahead log with full syncs: a crash or power cut loses at most the
// batch being written, never the file. Rows older than the retention times are pruned a
// slice with every batch, never in one long pause.
//
// Nothing here throws after construction. A folder that cannot hold the file, a full disk
// or a read-only file is told once through Notify and every later batch tries again (and
// Notify hears when storing resumes); what is stored stays. A damaged file is renamed to
// "NAME.damaged-YYYYMMDD-HHMMSS" (never deleted) and a new one started.

#include "station/ReadingCsv.h"
#include "store/HistoryQueries.h"

#include <QtGlobal>

#include <atomic>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace vemo {

struct TMonitorReading;
struct TAlarmEvent;
class ReadingHistory;
class SqliteDb;

inline constexpr qint64 kStoreDayMs = 24 * 3600 * 1000LL;

struct TStoreOptions {
  qint64 RawKeepMs = 7 * kStoreDayMs;
  qint64 SummaryKeepMs = 365 * kStoreDayMs;  // the minutes and the alarm events
  qint64 FlushEveryMs = 1000;
  int BatchReadings = 100;
  // A reading counts toward the time in alarm and keyed until the next one, at most this
  // long (as ReadingHistory's gaps).
  qint64 GapAfterMs = 30'000;
};

class HistoryStore {
 public:
  // failing: storing stopped (true) or resumed (false); the message is for the user.
  // Called on the writer thread, and on the constructing one for trouble at the start.
  using Notify = std::function<void(bool failing, const std::string& message)>;

  // Opens or creates the database at path (its folder is created when missing).
  HistoryStore(std::string path, TStoreOptions options = {}, Notify notify = {});
  // Writes what is queued, then stops the writer.
  ~HistoryStore();
  HistoryStore(const HistoryStore&) = delete;
  HistoryStore& operator=(const HistoryStore&) = delete;

  // Fills history with what is stored for the spans it keeps, up to nowMs: archive minutes
  // before its raw window, raw readings within it. Call before the first Add.
  void LoadInto(ReadingHistory& history, qint64 nowMs);

  // Queue; cheap, any thread. Implausible readings too (JudgeReading): stored with their
  // flag, they count as gaps in the summaries and the loaded history. The marks and the
  // place fill the log's columns beyond the reading's own (ReadingLogCsvFields).
  void Add(qint64 timeMs, const TMonitorReading& reading, const TReadingMarks& marks,
           std::optional<TReadingPlace> place = {});
  void AddGap(qint64 timeMs);
  void AddEvent(const TAlarmEvent& event);
  // Waits until everything queued so far has been written (or has failed).
  void Flush();

  // Runs f with the database while no batch is written (reports, baselines); false when
  // there is no database. Raises what f raises.
  bool Read(const std::function<void(SqliteDb&)>& f);

  const std::string& Path() const { return path_; }
  // False while the database cannot be written.
  bool Persisting() const { return persisting_; }
  // Readings that could not be written.
  qint64 NotStored() const { return notStored_; }

 private:
  struct Item;
  void Open();
  void SetAside(const std::string& why);
  void Run();
  void Write(const std::vector<Item>& batch);
  void WriteOnce(const std::vector<Item>& batch);
  void Fail(const std::string& message);
  void Enqueue(Item item);

  const std::string path_;
  const TStoreOptions options_;
  const Notify notify_;
  std::vector<std::string> columns_;  // the log's columns stored, in order

  std::mutex dbLock_;  // the connection: the writer's batches, LoadInto, Read
  std::unique_ptr<SqliteDb> db_;
  MinuteAccumulator minutes_;  // writer thread only

  std::mutex queueLock_;
  std::condition_variable wake_, written_;
  std::vector<Item> queue_;
  int queuedReadings_ = 0;
  quint64 enqueued_ = 0, done_ = 0;
  bool flushWanted_ = false, stop_ = false;

  std::atomic<bool> persisting_ = false;
  std::atomic<qint64> notStored_ = 0;
  bool failing_ = false;  // writer thread only
  std::thread writer_;
};

}  // namespace vemo

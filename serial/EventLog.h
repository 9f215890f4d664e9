// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The dispatcher's event log: time-stamped records of what the dispatcher did, kept in a
// circular byte buffer and written to a text file on request.
//
// Thread safety: as Trace. Add may be called from any thread; Control, Resize and
// RestartClock from one controlling thread at a time. The log has its own lock.

#include <atomic>
#include <chrono>
#include <cstdint>
#include <mutex>
#include <span>
#include <string>
#include <vector>

#include "serial/TraceLogState.h"

namespace vemo {

// Entry types; the log names them with message codes 15001 + type.
enum class LogType : std::uint8_t {
  NoEvent,
  Dispatch,
  Trigger,
  Error,
  Thread,
  TrigAllc,
  TrigDisp,
  TrgHdAlc,
  TrgHdDsp,
  TrDatChg,
  Telnet,
  Fax,
  XModem,
  YModem,
  ZModem,
  Kermit,
  Ascii,
  BPlus,
  Packet,
  User,
};

// Entry subtypes; the log names them with message codes 15100 + subtype.
enum class LogSubtype : std::uint8_t {
  None,
  ReadCom,
  WriteCom,
  LineStatus,
  ModemStatus,
  Avail,  // an avail trigger fired
  Timer,
  Data,
  Status,
  Start,
  Exit,
  Sleep,
  Wake,
  DataTrigger,
  TimerTrigger,
  StatusTrigger,
  AvailTrigger,  // the avail trigger length changed
  Window,
  Procedure,
  Method,
  SentWill,
  SentWont,
  SentDo,
  SentDont,
  RecvWill,
  RecvWont,
  RecvDo,
  RecvDont,
  Command,
  SentTerm,
};

// The component's log properties (LogSize, LogName, LogHex, LogAllHex) and the
// dispatcher's device name ("COM1") for the file's header.
struct LogOptions {
  std::uint32_t size = 10000;  // bytes
  std::string fileName = "SERIAL.LOG";
  bool hex = true;
  bool allHex = false;
  std::string deviceName;
};

struct LogEntry {
  LogType type = LogType::NoEvent;
  LogSubtype subtype = LogSubtype::None;
  std::uint32_t timeMs = 0;  // since the port was opened
  std::uint32_t data = 0;
  std::vector<std::uint8_t> extra;
};

class EventLog {
 public:
  static constexpr std::uint32_t kMaxBytes = 16000000;
  // Bytes an entry takes in the buffer besides its extra bytes.
  static constexpr std::uint32_t kHeaderBytes = 14;

  EventLog();

  // Applies a Logging request; rules and results as Trace::Control, with sizes in bytes
  // up to kMaxBytes.
  int Control(TTraceLogState request, const LogOptions& options);
  // LogSize changed; as Trace::Resize.
  int Resize(const LogOptions& options);

  TTraceLogState State() const;
  bool Recording() const noexcept { return recording_.load(std::memory_order_relaxed); }

  // Time stamps count from now (the dispatcher calls this when the port opens).
  void RestartClock();

  // Records an entry stamped with the time since RestartClock, while recording. When it
  // does not fit, the oldest entries are dropped until it does; an entry as large as the
  // whole buffer is not recorded.
  void Add(LogType type, LogSubtype subtype, std::uint32_t data,
           std::span<const std::uint8_t> extra = {});
  // The same with the entry's own time stamp.
  void Add(const LogEntry& entry);

  // Writes entries (oldest first) in the log file format to fileName, appending when
  // append is set. Returns 0 or a negated file error code. An empty list writes no file.
  static int WriteFile(const std::vector<LogEntry>& entries, const LogOptions& options,
                       bool append);

 private:
  int Start(std::uint32_t size);
  void Put(const LogEntry& entry);
  std::vector<LogEntry> TakeEntries();
  void Write(std::size_t at, const std::uint8_t* bytes, std::size_t count);
  void Read(std::size_t at, std::uint8_t* bytes, std::size_t count) const;

  mutable std::mutex mutex_;
  std::vector<std::uint8_t> buffer_;
  std::size_t head_ = 0;  // where the next entry goes
  std::size_t tail_ = 0;  // oldest entry
  std::size_t used_ = 0;  // bytes held
  TTraceLogState state_ = tlOff;
  std::atomic<bool> recording_{false};
  std::atomic<std::chrono::steady_clock::rep> startTicks_;
};

}  // namespace vemo

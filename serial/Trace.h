// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The character trace: every byte sent and received, kept in a circular buffer and written
// to a text file on request.
//
// Thread safety: Add may be called from any thread (the dispatcher's threads); Control and
// Resize from one controlling thread at a time. The buffer has its own lock, so the
// dispatcher need not hold its lock around these calls. A file is written after the
// recorded entries have been taken out of the lock, so writers never wait for the disk.

#include <atomic>
#include <cstdint>
#include <mutex>
#include <span>
#include <string>
#include <vector>

#include "serial/TraceLogState.h"

namespace vemo {

// The component's trace properties (TraceSize, TraceName, TraceHex, TraceAllHex).
struct TraceOptions {
  std::uint32_t size = 10000;  // entries
  std::string fileName = "SERIAL.TRC";
  bool hex = true;
  bool allHex = false;
};

class Trace {
 public:
  static constexpr std::uint32_t kMaxEntries = 4000000;
  static constexpr char kReceive = 'R';
  static constexpr char kTransmit = 'T';

  // Applies a Tracing request. Returns 0; ecBadArgument when tlOn asks for 0 or more than
  // kMaxEntries entries (nothing changes); or, for tlDump/tlAppend, the negated code of a
  // file error (the entries are discarded and tracing is off either way). tlDump, tlAppend
  // and tlClear do nothing unless the trace is on or paused.
  int Control(TTraceLogState request, const TraceOptions& options);

  // TraceSize changed: a running trace restarts with options.size entries (discarding what
  // was recorded), a paused one is switched off, an idle one is left alone. Returns 0 or
  // ecBadArgument (then nothing changes).
  int Resize(const TraceOptions& options);

  // tlOff, tlOn or tlPause.
  TTraceLogState State() const;
  // Cheap check for callers that want to skip building entries while not recording.
  bool Recording() const noexcept { return recording_.load(std::memory_order_relaxed); }

  // Enters (kind, byte) entries while recording; ignored otherwise. Oldest entries are
  // overwritten once the buffer is full.
  void Add(char kind, std::uint8_t byte);
  void Add(char kind, std::span<const std::uint8_t> bytes);

  // Writes entries (oldest first, each a kind and a byte) in the trace file format to
  // fileName, appending when append is set. Returns 0 or a negated file error code. An
  // empty list writes no file.
  static int WriteFile(std::span<const std::uint8_t> entries, const TraceOptions& options,
                       bool append);

 private:
  int Start(std::uint32_t size);
  // Moves the recorded entries out, oldest first, and switches the trace off.
  std::vector<std::uint8_t> TakeEntries();

  mutable std::mutex mutex_;
  std::vector<std::uint8_t> buffer_;  // size entries of two bytes: kind, byte
  std::size_t position_ = 0;          // next entry to write
  bool wrapped_ = false;
  TTraceLogState state_ = tlOff;
  std::atomic<bool> recording_{false};
};

}  // namespace vemo

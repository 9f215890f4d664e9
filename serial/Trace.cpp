// SPDX-License-Identifier: GPL-3.0-or-later
#include "serial/Trace.h"

#include <algorithm>
#include <new>

#include "serial/SerialErrors.h"
#include "serial/TextFile.h"

namespace vemo {
namespace {

// A line of the trace file holds at most this many columns.
constexpr int kLineWidth = 78;

std::string BlockHeader(char kind) {
  if (kind == Trace::kReceive) return "Receive: ";
  if (kind == Trace::kTransmit) return "Transmit: ";
  return std::string("Special-") + kind + ": ";
}

}  // namespace

int Trace::Start(std::uint32_t size) {
  if (size == 0 || size > kMaxEntries) return ecBadArgument;
  try {
    buffer_.assign(2 * std::size_t{size}, 0);
  } catch (const std::bad_alloc&) {
    buffer_ = {};
    state_ = tlOff;
    recording_ = false;
    return ecOutOfMemory;
  }
  position_ = 0;
  wrapped_ = false;
  state_ = tlOn;
  recording_ = true;
  return ecOK;
}

int Trace::Control(TTraceLogState request, const TraceOptions& options) {
  std::unique_lock lock(mutex_);
  switch (request) {
    case tlOn:
      if (state_ == tlPause) {
        state_ = tlOn;
        recording_ = true;
        return ecOK;
      }
      return Start(options.size);
    case tlPause:
      if (state_ == tlOn) {
        state_ = tlPause;
        recording_ = false;
      }
      return ecOK;
    case tlClear:
      position_ = 0;
      wrapped_ = false;
      return ecOK;
    case tlOff:
      buffer_ = {};
      state_ = tlOff;
      recording_ = false;
      return ecOK;
    case tlDump:
    case tlAppend:
      if (state_ == tlOff) return ecOK;
      break;
  }
  lock.unlock();
  return WriteFile(TakeEntries(), options, request == tlAppend);
}

int Trace::Resize(const TraceOptions& options) {
  std::lock_guard lock(mutex_);
  if (state_ == tlOn) return Start(options.size);
  if (state_ == tlPause) {
    buffer_ = {};
    state_ = tlOff;
  }
  return ecOK;
}

TTraceLogState Trace::State() const {
  std::lock_guard lock(mutex_);
  return state_;
}

void Trace::Add(char kind, std::uint8_t byte) {
  Add(kind, std::span(&byte, 1));
}

void Trace::Add(char kind, std::span<const std::uint8_t> bytes) {
  if (!Recording()) return;
  std::lock_guard lock(mutex_);
  if (state_ != tlOn) return;
  for (const std::uint8_t b : bytes) {
    buffer_[2 * position_] = static_cast<std::uint8_t>(kind);
    buffer_[2 * position_ + 1] = b;
    if (++position_ == buffer_.size() / 2) {
      position_ = 0;
      wrapped_ = true;
    }
  }
}

std::vector<std::uint8_t> Trace::TakeEntries() {
  std::vector<std::uint8_t> entries;
  std::size_t position = 0;
  bool wrapped = false;
  {
    std::lock_guard lock(mutex_);
    entries.swap(buffer_);
    position = position_;
    wrapped = wrapped_;
    position_ = 0;
    wrapped_ = false;
    state_ = tlOff;
    recording_ = false;
  }
  // Oldest first: after a wrap the oldest entry is the one about to be overwritten.
  if (wrapped)
    std::rotate(entries.begin(), entries.begin() + static_cast<std::ptrdiff_t>(2 * position),
                entries.end());
  else
    entries.resize(2 * position);
  return entries;
}

int Trace::WriteFile(std::span<const std::uint8_t> entries, const TraceOptions& options,
                     bool append) {
  if (entries.size() < 2) return ecOK;
  TextFile file;
  if (const int result = file.Open(options.fileName, append); result != ecOK) return result;
  const ByteStyle style{options.hex, options.allHex};
  std::string line;
  std::string piece;
  int column = 0;
  for (std::size_t i = 0; i + 1 < entries.size(); i += 2) {
    const char kind = static_cast<char>(entries[i]);
    if (i == 0 || kind != static_cast<char>(entries[i - 2])) {
      if (i != 0) {
        file.WriteLine(line);
        file.WriteLine();
        line.clear();
      }
      file.WriteLine(BlockHeader(kind));
      column = 0;
    }
    piece.clear();
    const int width = AppendByte(piece, entries[i + 1], style);
    column += width;
    if (column > kLineWidth) {
      file.WriteLine(line);
      line.clear();
      column = width;
    }
    line += piece;
  }
  file.WriteLine(line);
  return file.Close();
}

}  // namespace vemo

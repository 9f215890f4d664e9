// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The states of the character trace and the event log, as set through the component's
// Tracing and Logging properties, and the printable-byte rule both files share.

#include <cstdint>
#include <string>

namespace vemo {

// tlOn starts recording (empties a running buffer, resumes a paused one), tlPause holds it,
// tlDump writes a new file and switches off, tlAppend appends to the file and switches off,
// tlClear empties a running or paused buffer, tlOff discards it.
enum TTraceLogState : std::uint8_t { tlOff, tlOn, tlDump, tlAppend, tlClear, tlPause };

// What a closed port keeps of an assigned state: tlOn waits for the next opening, every
// other request is stored as tlOff.
constexpr TTraceLogState StoredWhileClosed(TTraceLogState requested) {
  return requested == tlOn ? tlOn : tlOff;
}

// How a byte is written in the trace and log files. allHex: every byte as "[XX]". Else a
// byte from the lowest printable character ("!" with hex, the space without) to "~" is
// written as itself; any other byte as "[XX]" with hex, as "[<decimal>]" without.
struct ByteStyle {
  bool hex = true;
  bool allHex = false;
};

// Appends the written form of b to out and returns its width in columns.
int AppendByte(std::string& out, std::uint8_t b, ByteStyle style);

}  // namespace vemo

// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The service's log: one line per event on standard error, "<level> <text>"; the journal
// adds the time.

#include <QtGlobal>

#include <map>
#include <optional>
#include <string>

namespace vemo::service {

// level: "error", "warning" or "info". Bytes outside printable ASCII (a monitor's
// garbled reply, a client's header) are written as escapes: one event stays one line of
// readable text.
void LogLine(const char* level, const std::string& text);

// Keeps a flood of alike events (refused tokens, refused connections) from flooding the
// log: of the events of one kind, the first in each period is logged, the rest counted
// and their number added to the next one logged.
class LogLimiter {
 public:
  explicit LogLimiter(qint64 periodMs = 60'000) : periodMs_(periodMs) {}
  // The text to log for an event of this kind at nowMs (a monotonic clock), or nothing
  // while the kind is being held back.
  std::optional<std::string> Admit(const std::string& kind, const std::string& text, qint64 nowMs);

 private:
  struct Kind {
    qint64 loggedAtMs = 0;
    int held = 0;
  };
  qint64 periodMs_;
  std::map<std::string, Kind> kinds_;
};

}  // namespace vemo::service

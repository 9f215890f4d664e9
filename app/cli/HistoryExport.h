// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// "vemoswr-cli history": a stored history out as CSV (or aligned columns) for scripts:
// the raw readings with the log's columns and "keyed", or summaries per minute, hour or
// local day.

#include <QtGlobal>

#include <cstdio>
#include <optional>
#include <string>

namespace vemo::cli {

enum class HistorySummary { None, Minute, Hour, Day };

struct THistoryExport {
  std::string Database;
  std::optional<qint64> FromMs, ToMs;  // none: from the oldest, up to now
  HistorySummary Summary = HistorySummary::None;
  bool Csv = false;
};

// A time on the command line: ISO 8601 ("2026-12-08", "2026-12-08T06:00",
// "2026-12-08T06:00:00Z", "...+01:00"; without an offset local time), "now", or a time
// back from now ("-90s", "-30m", "-12h", "-7d"). Empty when it is none of these.
std::optional<qint64> ParseHistoryTime(const std::string& text, qint64 nowMs);

// (Defined with the command line's parsing.)

// Writes the export; 0, or 1 with the message on err.
int ExportHistory(const THistoryExport& e, std::FILE* out, std::FILE* err);

}  // namespace vemo::cli

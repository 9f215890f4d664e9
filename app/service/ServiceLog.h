#pragma once
// The service's log: one line per event on standard error, "<level> <text>"; the journal
// adds the time.

#include <string>

namespace vemo::service {

// level: "error", "warning" or "info".
void LogLine(const char* level, const std::string& text);

}  // namespace vemo::service

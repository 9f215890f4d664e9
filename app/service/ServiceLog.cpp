// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/service/ServiceLog.h"

#include "platform/Escaped.h"

#include <cstdio>

namespace vemo::service {

void LogLine(const char* level, const std::string& text) {
  const std::string line = std::string(level) + " " + Escaped(text) + "\n";
  std::fputs(line.c_str(), stderr);
  std::fflush(stderr);
}

std::optional<std::string> LogLimiter::Admit(const std::string& kind, const std::string& text,
                                             qint64 nowMs) {
  auto [it, first] = kinds_.try_emplace(kind);
  Kind& k = it->second;
  if (!first && nowMs - k.loggedAtMs < periodMs_) {
    ++k.held;
    return std::nullopt;
  }
  std::string line = text;
  if (k.held > 0)
    line += " (and " + std::to_string(k.held) + " more like it in the " +
            std::to_string((nowMs - k.loggedAtMs + 999) / 1000) + " s before)";
  k.loggedAtMs = nowMs;
  k.held = 0;
  return line;
}

}  // namespace vemo::service

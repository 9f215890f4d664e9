#include "app/service/ServiceLog.h"

#include <cstdio>

namespace vemo::service {

namespace {

// The length of the UTF-8 sequence at text[i], or 0 when it is not one.
size_t Utf8Length(std::string_view text, size_t i) {
  const auto b = static_cast<unsigned char>(text[i]);
  size_t n = 0;
  unsigned min = 0;
  if (b >= 0xC2 && b <= 0xDF) {
    n = 2;
    min = 0x80;
  } else if (b >= 0xE0 && b <= 0xEF) {
    n = 3;
    min = 0x800;
  } else if (b >= 0xF0 && b <= 0xF4) {
    n = 4;
    min = 0x10000;
  } else {
    return 0;
  }
  if (i + n > text.size()) return 0;
  unsigned cp = b & (0xFFu >> (n + 1));
  for (size_t k = 1; k < n; ++k) {
    const auto c = static_cast<unsigned char>(text[i + k]);
    if ((c & 0xC0) != 0x80) return 0;
    cp = (cp << 6) | (c & 0x3F);
  }
  const bool surrogate = cp >= 0xD800 && cp <= 0xDFFF;
  return cp < min || cp > 0x10FFFF || surrogate ? 0 : n;
}

}  // namespace

std::string Printable(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size();) {
    const auto b = static_cast<unsigned char>(text[i]);
    if (b >= 0x20 && b < 0x7F) {
      out += text[i++];
      continue;
    }
    if (const size_t n = b >= 0x80 ? Utf8Length(text, i) : 0; n > 0) {
      out.append(text.substr(i, n));
      i += n;
      continue;
    }
    if (b == '\n') {
      out += "\\n";
    } else if (b == '\r') {
      out += "\\r";
    } else if (b == '\t') {
      out += "\\t";
    } else {
      char hex[8];
      std::snprintf(hex, sizeof hex, "\\x%02X", b);
      out += hex;
    }
    ++i;
  }
  return out;
}

void LogLine(const char* level, const std::string& text) {
  const std::string line = std::string(level) + " " + Printable(text) + "\n";
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

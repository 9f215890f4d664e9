// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The simulated monitor's record of the line, one JSON object per line (see SimServer.h
// for the format), flushed line by line so a reader sees every exchange at once.

#include <cstdint>
#include <cstdio>
#include <string>

namespace vemo::sim {

class Transcript {
 public:
  // Raises std::runtime_error when the file cannot be created.
  explicit Transcript(const std::string& path);
  ~Transcript();
  Transcript(const Transcript&) = delete;
  Transcript& operator=(const Transcript&) = delete;

  // note: empty, or why the command got no reply ("unsupported", "bad argument",
  // "unknown", "incomplete", "unanswered").
  void Received(int64_t tMs, const std::string& command, const std::string& note);
  void Sent(int64_t tMs, const std::string& command, const std::string& reply);
  void Event(int64_t tMs, const std::string& what);

  // Each byte as the code point of the same value, JSON-escaped.
  static std::string JsonText(const std::string& bytes);
  static std::string Hex(const std::string& bytes);

 private:
  void WriteLine(const std::string& line);
  std::FILE* file_;
};

}  // namespace vemo::sim

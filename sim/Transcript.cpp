// SPDX-License-Identifier: GPL-3.0-or-later
#include "sim/Transcript.h"

#include <stdexcept>

namespace vemo::sim {

Transcript::Transcript(const std::string& path) : file_(std::fopen(path.c_str(), "w")) {
  if (file_ == nullptr) throw std::runtime_error("cannot create the transcript " + path);
}

Transcript::~Transcript() {
  std::fclose(file_);
}

std::string Transcript::JsonText(const std::string& bytes) {
  std::string out;
  for (unsigned char c : bytes) {
    switch (c) {
      case '"':
        out += "\\\"";
        break;
      case '\\':
        out += "\\\\";
        break;
      case '\r':
        out += "\\r";
        break;
      case '\n':
        out += "\\n";
        break;
      case '\t':
        out += "\\t";
        break;
      default:
        if (c < 0x20 || c >= 0x7F) {
          char escaped[8];
          std::snprintf(escaped, sizeof escaped, "\\u%04x", c);
          out += escaped;
        } else {
          out += static_cast<char>(c);
        }
    }
  }
  return out;
}

std::string Transcript::Hex(const std::string& bytes) {
  static const char digits[] = "0123456789abcdef";
  std::string out;
  for (unsigned char c : bytes) {
    out += digits[c >> 4];
    out += digits[c & 0xF];
  }
  return out;
}

void Transcript::Received(int64_t tMs, const std::string& command, const std::string& note) {
  std::string line = "{\"t_ms\":" + std::to_string(tMs) + ",\"dir\":\"rx\",\"cmd\":\"" +
                     JsonText(command.substr(0, 1)) + "\",\"hex\":\"" + Hex(command) +
                     "\",\"text\":\"" + JsonText(command) + "\"";
  if (!note.empty()) line += ",\"note\":\"" + note + "\"";
  WriteLine(line + "}");
}

void Transcript::Sent(int64_t tMs, const std::string& command, const std::string& reply) {
  WriteLine("{\"t_ms\":" + std::to_string(tMs) + ",\"dir\":\"tx\",\"cmd\":\"" +
            JsonText(command.substr(0, 1)) + "\",\"hex\":\"" + Hex(reply) + "\",\"text\":\"" +
            JsonText(reply) + "\"}");
}

void Transcript::Event(int64_t tMs, const std::string& what) {
  WriteLine("{\"t_ms\":" + std::to_string(tMs) + ",\"dir\":\"event\",\"text\":\"" + JsonText(what) +
            "\"}");
}

void Transcript::WriteLine(const std::string& line) {
  std::fputs(line.c_str(), file_);
  std::fputc('\n', file_);
  std::fflush(file_);
}

}  // namespace vemo::sim

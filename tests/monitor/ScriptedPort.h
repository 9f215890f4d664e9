// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// A port for session tests that records every send and answers it from a script: each
// send takes the next scripted answer, whose chunks reach the receive buffer from the
// event loop after their delays, as the serial port's data-available handler would put them.

#include "monitor/Buffer.h"
#include "platform/Clock.h"
#include "platform/Exception.h"
#include "serial/ComSender.h"

#include <QTimer>

#include <deque>
#include <string>
#include <utility>
#include <vector>

namespace vemo::test {

struct Chunk {
  std::string bytes;
  int delayMs = 0;  // after the send, or after the previous chunk
};

class ScriptedPort : public IComSender {
 public:
  explicit ScriptedPort(TBuffer& buffer) : buffer_(buffer) {}

  // The answer to the next send that has no answer yet.
  ScriptedPort& Answer(std::string bytes, int delayMs = 0) {
    answers_.push_back({{std::move(bytes), delayMs}});
    return *this;
  }
  ScriptedPort& AnswerInChunks(std::vector<Chunk> chunks) {
    answers_.push_back(std::move(chunks));
    return *this;
  }
  // The next send gets no answer at all.
  ScriptedPort& Silence() {
    answers_.push_back({});
    return *this;
  }
  // Sends from now on raise this message, as a port that is not open would.
  void FailSends(std::string message) { failure_ = std::move(message); }

  void SendChar(char c) override { Send(std::string(1, c)); }
  void SendString(std::string_view s) override { Send(std::string(s)); }

  const std::vector<std::string>& sent() const { return sent_; }
  void ClearSent() { sent_.clear(); }
  size_t unanswered() const { return answers_.size(); }

 private:
  void Send(std::string bytes) {
    if (!failure_.empty()) throw Exception(failure_);
    sent_.push_back(std::move(bytes));
    if (answers_.empty()) return;
    int at = 0;
    for (const Chunk& chunk : answers_.front()) {
      at += chunk.delayMs;
      QTimer::singleShot(at, &buffer_, [this, bytes = chunk.bytes] {
        for (char b : bytes) buffer_.Put(static_cast<uint8_t>(b));
      });
    }
    answers_.pop_front();
  }

  TBuffer& buffer_;
  std::deque<std::vector<Chunk>> answers_;
  std::vector<std::string> sent_;
  std::string failure_;
};

// A wall clock that runs `factor` times faster than real time, so that tests of
// multi-second reply limits take a fraction of a second.
class FastClock : public Clock {
 public:
  explicit FastClock(int factor) : factor_(factor), start_(std::chrono::system_clock::now()) {}
  WallTime Now() const override {
    return start_ + (std::chrono::system_clock::now() - start_) * factor_;
  }

 private:
  int factor_;
  WallTime start_;
};

// A 40-character identification reply.
inline std::string IdReply(const std::string& model, const std::string& date) {
  std::string reply = model + date;
  reply.resize(40, ' ');
  return reply;
}

// The 9-character full-scale reply: mantissa x 10^exponent milliwatts.
inline std::string FullScaleReply(int mantissa, int exponent = 3) {
  std::string r = "P=";
  r += static_cast<char>(mantissa >> 8 & 0xFF);
  r += static_cast<char>(mantissa & 0xFF);
  r += '\0';
  r += static_cast<char>(exponent);
  r += "\r\n>";
  return r;
}

}  // namespace vemo::test

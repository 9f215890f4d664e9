// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Cuts the byte stream from the PC into complete commands. Commands carry no terminator:
// the first byte says how many bytes belong to the command, and bytes may arrive one at
// a time. A command left incomplete for longer than the inter-byte limit is dropped, so a
// PC that gave up half-way cannot shift every later command.

#include <chrono>
#include <string>
#include <vector>

namespace vemo::sim {

using SimTime = std::chrono::steady_clock::time_point;

struct AssembledCommand {
  enum Kind { Complete, Unknown, Incomplete } kind = Complete;
  std::string bytes;
};

class CommandAssembler {
 public:
  static constexpr std::chrono::milliseconds kInterByteLimit{1000};

  // At the calibration prompt, "Y" and "Q" are one-byte answers, not EEPROM write and
  // check-on-zero read.
  void SetAtCalibrationPrompt(bool atPrompt) { atPrompt_ = atPrompt; }

  // Takes one received byte; appends to out what it completes (and any stale command it
  // drops first).
  void Put(char byte, SimTime now, std::vector<AssembledCommand>& out);
  // The PC closed the line: a half-received command is forgotten.
  void Reset() { partial_.clear(); }

  // Total length of the command that starts with byte, 0 if none does.
  static size_t CommandLength(char first, bool atCalibrationPrompt);

 private:
  std::string partial_;
  size_t expected_ = 0;
  SimTime lastByte_{};
  bool atPrompt_ = false;
};

}  // namespace vemo::sim

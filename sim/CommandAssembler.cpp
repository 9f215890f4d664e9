// SPDX-License-Identifier: GPL-3.0-or-later
#include "sim/CommandAssembler.h"

namespace vemo::sim {

size_t CommandAssembler::CommandLength(char first, bool atCalibrationPrompt) {
  switch (first) {
    case 'Y':
      return atCalibrationPrompt ? 1 : 4;  // address, high byte, low byte
    case 'Q':
      return 1;
    case 'I':
    case 'T':
    case 'Z':
    case '7':
    case 'A':
    case 'B':
    case '8':
    case 'P':
    case 'L':
    case 'D':
    case 'K':
    case '#':
    case '0':
    case '1':
    case '2':
      return 1;
    case '5':
    case '6':
    case 'W':
    case 'O':
    case 'U':
    case '&':
    case 'N':
    case 'G':
    case '9':
      return 2;
    case 'X':  // address, word count
    case 'J':  // two gain digits
    case '%':  // two delay digits
      return 3;
    case 'M':
    case 'E':  // five-character level
      return 6;
    default:
      return 0;
  }
}

void CommandAssembler::Put(char byte, SimTime now, std::vector<AssembledCommand>& out) {
  if (!partial_.empty() && now - lastByte_ > kInterByteLimit) {
    out.push_back({AssembledCommand::Incomplete, partial_});
    partial_.clear();
  }
  lastByte_ = now;
  if (partial_.empty()) {
    expected_ = CommandLength(byte, atPrompt_);
    if (expected_ == 0) {
      out.push_back({AssembledCommand::Unknown, std::string(1, byte)});
      return;
    }
  }
  partial_ += byte;
  if (partial_.size() == expected_) {
    out.push_back({AssembledCommand::Complete, partial_});
    partial_.clear();
  }
}

}  // namespace vemo::sim

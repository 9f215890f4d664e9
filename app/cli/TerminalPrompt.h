// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The calibration's questions on the terminal: the text, then "OK or Cancel? [o/c]";
// "o", "ok", "y" or "yes" (any case) is OK, anything else or the end of input Cancel.

#include "monitor/OperatorPrompt.h"

#include <cstdio>

namespace vemo::cli {

class TerminalPrompt : public IOperatorPrompt {
 public:
  TerminalPrompt(std::FILE* in, std::FILE* out) : in_(in), out_(out) {}
  bool AskOkCancel(const std::string& text) override;

  // Whether a question was asked at all, and the last answer (true for OK).
  bool Asked() const { return asked_; }
  bool LastAnswer() const { return lastAnswer_; }

 private:
  bool Answer();

  std::FILE* in_;
  std::FILE* out_;
  bool asked_ = false;
  bool lastAnswer_ = false;
};

}  // namespace vemo::cli

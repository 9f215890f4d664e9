// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// How the monitor's own calibration talks to the operator: a warning with OK and Cancel.
// The GUI answers with a message box, the command-line tool on the terminal, tests from
// a script.

#include <string>

namespace vemo {

class IOperatorPrompt {
 public:
  virtual ~IOperatorPrompt() = default;
  // Shows text (lines separated by CR) and returns true for OK, false for Cancel or any
  // other way of closing the question.
  virtual bool AskOkCancel(const std::string& text) = 0;
};

}  // namespace vemo

// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The program's own command-line options, for an unattended start. Checked before any
// window exists, so a bad command line leaves nothing behind.

#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace vemo {

// A command line that does not make sense: the message says what and how to do it right.
class ProgramUsageError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

struct ProgramOptions {
  bool help = false;
  bool version = false;
  bool continuous = false;
  std::optional<int> intervalMs;            // one of kPollingIntervalsMs
  std::optional<std::string> logFile;       // start logging readings to this file
  std::optional<std::string> alarmLogFile;  // the alarm log for this run
};

// args without the program name; "--interval=MS" and "--interval MS" both work. Raises
// ProgramUsageError.
ProgramOptions ParseProgramOptions(const std::vector<std::string>& args);

// args without the toolkit's own options (-platform NAME, -style=NAME, -reverse, ...),
// which the toolkit takes for itself: the program's options can then be checked, and
// --help answered, before a display is needed.
std::vector<std::string> WithoutToolkitOptions(const std::vector<std::string>& args);

// The text of --help.
std::string ProgramUsage();

}  // namespace vemo

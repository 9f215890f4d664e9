// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// vemoswr-sim's command line.

#include <string>
#include <vector>

#include "sim/SimConfig.h"

namespace vemo::sim {

struct SimOptions {
  SimConfig config;
  std::string linkPath;
  std::string transcriptPath;
  bool help = false;
  bool version = false;
};

// Raises std::invalid_argument with a message for the user on a bad option or value.
SimOptions ParseSimOptions(const std::vector<std::string>& args);

extern const char* const kSimUsage;

}  // namespace vemo::sim

// SPDX-License-Identifier: GPL-3.0-or-later
// The command-line tool's arguments, separated by NUL bytes in the input. A command line
// is either parsed or refused with a usage message.

#include "FuzzArgs.h"
#include "app/cli/CliOptions.h"

using namespace vemo;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  try {
    cli::ParseCliOptions(fuzz::SplitArgs(data, size));
  } catch (const cli::UsageError&) {
  }
  return 0;
}

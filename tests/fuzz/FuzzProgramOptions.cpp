// SPDX-License-Identifier: GPL-3.0-or-later
// The program's own arguments, separated by NUL bytes in the input. A command line is
// either parsed or refused with a usage message.

#include "FuzzArgs.h"
#include "app/ProgramOptions.h"

using namespace vemo;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  try {
    ParseProgramOptions(fuzz::SplitArgs(data, size));
  } catch (const ProgramUsageError&) {
  }
  return 0;
}

// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Assertion failures of the dial unit. The message carries the unit name and the source
// line, decorated as "<text> (DCDial, line <n>)", so a failure report points at the check.

#include <string>

#include "platform/Exception.h"

namespace vemo {

class EAssertionFailed : public Exception {
 public:
  using Exception::Exception;
};

// Throws EAssertionFailed with Text decorated by the unit name and Line.
[[noreturn]] void RaiseDialAssertion(const std::string& Text, int Line);

}  // namespace vemo

// Checks Cond; on failure raises the dial unit's assertion with Text and this line.
#define DC_ASSERT(Cond, Text)                                  \
  do {                                                         \
    if (!(Cond)) ::vemo::RaiseDialAssertion((Text), __LINE__); \
  } while (false)

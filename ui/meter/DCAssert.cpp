// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/meter/DCAssert.h"

namespace vemo {

void RaiseDialAssertion(const std::string& Text, int Line) {
  throw EAssertionFailed(Text + " (DCDial, line " + std::to_string(Line) + ")");
}

}  // namespace vemo

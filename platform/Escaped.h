// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Bytes from the serial line quoted in a message: whatever the monitor (or noise) sent,
// the message stays one line of printable ASCII, the same in a terminal, a log and a
// message box.

#include <string>
#include <string_view>

namespace vemo {

// "\r", "\n" and "\t" as such, every other byte outside printable ASCII (below 0x20, 0x7F
// and above) as "\xHH".
std::string Escaped(std::string_view bytes);

}  // namespace vemo

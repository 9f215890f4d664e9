// SPDX-License-Identifier: GPL-3.0-or-later
#include "serial/TraceLogState.h"

#include <cstdio>

namespace vemo {

int AppendByte(std::string& out, std::uint8_t b, ByteStyle style) {
  char text[8];
  if (!style.allHex) {
    const std::uint8_t lowest = style.hex ? '!' : ' ';
    if (b >= lowest && b <= '~') {
      out.push_back(static_cast<char>(b));
      return 1;
    }
  }
  const int width = std::snprintf(text, sizeof text, style.hex || style.allHex ? "[%02X]" : "[%u]",
                                  static_cast<unsigned>(b));
  out.append(text, static_cast<std::size_t>(width));
  return width;
}

}  // namespace vemo

// SPDX-License-Identifier: GPL-3.0-or-later
// Message tables: any blob is either refused as a whole when loaded or every code in it
// can be looked up.

#include "serial/StringTable.h"

#include <span>

using namespace vemo;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  try {
    const StringTable table("FUZZ", std::span<const std::uint8_t>(data, size));
    // Codes are the first field of each 12-byte entry after the 8-byte header.
    for (size_t at = 8; at + 4 <= size && (at - 8) / 12 < table.Count(); at += 12) {
      const int code = static_cast<int>(data[at] | data[at + 1] << 8 | data[at + 2] << 16 |
                                        static_cast<uint32_t>(data[at + 3]) << 24);
      if (!table.Contains(code)) __builtin_trap();
      table.At(code);
    }
    table.Find(0);
    table.Find(-1);
  } catch (const EStringResourceError&) {
  }
  return 0;
}

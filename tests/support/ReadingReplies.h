// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Replies to a reading ("T") from a monitor whose full scale is 625 W, and whether each
// is a measurement. The tool, the window and the service each take this one table through
// their own path and must judge every row alike.

#include <string>
#include <vector>

namespace vemo::test {

struct ReadingReply {
  const char* what;
  std::string reply;  // the 16 bytes the monitor sends
  bool plausible;
};

inline constexpr double kReadingRepliesFullScale = 625;

// Forward field, separator, reflected field, mode letter, zero-check digit, CR LF, prompt.
inline std::vector<ReadingReply> ReadingReplies() {
  const auto reply = [](const char* forward, const char* reflected, char mode) {
    return std::string(forward) + ' ' + reflected + mode + "0\r\n>";
  };
  return {
      {"a measurement", reply("100.0", " 12.5", ' '), true},
      {"milliwatts", reply("0.125", "0.000", ' '), true},
      {"the monitor's alarm", reply("100.0", " 12.5", 'A'), true},
      {"within 10 % above full scale", reply("680.0", " 10.0", ' '), true},
      {"a negative power", reply("-12.5", "1.000", ' '), false},
      {"more reflected than forward", reply(" 10.0", " 50.0", ' '), false},
      {"more than 10 % above full scale", reply("700.0", " 10.0", ' '), false},
      {"the largest field", reply("99999", " 12.5", ' '), false},
      {"an exponent", reply("  1e3", " 12.5", ' '), false},
      {"no decimal point", reply("100.0", "   12", 'A'), false},
  };
}

}  // namespace vemo::test

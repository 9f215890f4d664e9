// SPDX-License-Identifier: GPL-3.0-or-later
// Line bytes quoted in messages: one line of printable ASCII whatever came.
#include "platform/Escaped.h"

#include <gtest/gtest.h>

namespace vemo {
namespace {

TEST(Escaped, EveryByteOutsidePrintableAsciiIsEscaped) {
  const std::pair<std::string, std::string> rows[] = {
      {"P= 625\r\n>", "P= 625\\r\\n>"},
      {std::string("a\0b\tc", 5), "a\\x00b\\tc"},
      {"\x1b[2J\x7f", "\\x1B[2J\\x7F"},
      {"\x80\xff", "\\x80\\xFF"},
      {"\xc3\xa9", "\\xC3\\xA9"},  // valid UTF-8, but no monitor sends it
      {" ~", " ~"},
  };
  for (const auto& [bytes, text] : rows) EXPECT_EQ(Escaped(bytes), text) << text;
}

}  // namespace
}  // namespace vemo

// SPDX-License-Identifier: GPL-3.0-or-later
#include "serial/StringTable.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace vemo {
namespace {

using Blob = std::vector<std::uint8_t>;

void Put32(Blob& blob, std::size_t at, std::uint32_t v) {
  if (blob.size() < at + 4) blob.resize(at + 4);
  for (int i = 0; i < 4; ++i) blob[at + i] = static_cast<std::uint8_t>(v >> (8 * i));
}

// A well-formed table of (code, UTF-16 text) in the order given.
Blob MakeTable(const std::vector<std::pair<std::int32_t, std::u16string>>& entries) {
  Blob blob{'S', 'T', 'R', '0'};
  Put32(blob, 4, static_cast<std::uint32_t>(entries.size()));
  std::size_t offset = 8 + 12 * entries.size();
  for (std::size_t i = 0; i < entries.size(); ++i) {
    Put32(blob, 8 + 12 * i, static_cast<std::uint32_t>(entries[i].first));
    Put32(blob, 12 + 12 * i, static_cast<std::uint32_t>(offset));
    Put32(blob, 16 + 12 * i, static_cast<std::uint32_t>(entries[i].second.size()));
    offset += 2 * entries[i].second.size();
  }
  for (const auto& entry : entries) {
    for (const char16_t u : entry.second) {
      blob.push_back(static_cast<std::uint8_t>(u & 0xFF));
      blob.push_back(static_cast<std::uint8_t>(u >> 8));
    }
  }
  return blob;
}

const Blob kSample = MakeTable({{-5, u"minus five"},
                                {0, u"OK"},
                                {3, u""},
                                {7, u"Ohm \u03A9 and \U0001F600"},
                                {9, u"lone \xD800 half"}});

TEST(StringTable, FindsTextsByCodeAsUtf8) {
  const StringTable table("SAMPLE", kSample);
  EXPECT_EQ(5u, table.Count());
  EXPECT_EQ("minus five", table.Find(-5));
  EXPECT_EQ("OK", table.At(0));
  EXPECT_EQ("Ohm \u03A9 and \U0001F600", table.Find(7));
  EXPECT_EQ("lone \uFFFD half", table.Find(9));
  EXPECT_TRUE(table.Contains(3));
  EXPECT_EQ("", table.Find(3));
  for (const int absent : {-6, -4, 1, 8, 10, 1000}) {
    EXPECT_FALSE(table.Contains(absent)) << absent;
    EXPECT_EQ("", table.Find(absent)) << absent;
  }
  try {
    table.At(8);
    FAIL() << "nothing raised";
  } catch (const EStringResourceError& e) {
    EXPECT_STREQ("String not found: 8", e.what());
  }
}

TEST(StringTable, MalformedBlobsAreRefusedBeforeAnyRead) {
  const std::string unable = "Unable to open string resource: BROKEN";
  const struct {
    const char* fault;
    std::function<void(Blob&)> spoil;
    std::string message;
  } cases[] = {
      {"empty", [](Blob& b) { b.clear(); }, "Cannot lock resource"},
      {"wrong magic", [](Blob& b) { b[3] = '1'; }, "Not a string table (bad signature): BROKEN"},
      {"shorter than the header", [](Blob& b) { b.resize(6); }, unable},
      {"count beyond the entries", [](Blob& b) { Put32(b, 4, 100); }, unable},
      {"count wraps when multiplied", [](Blob& b) { Put32(b, 4, 0x40000000); }, unable},
      {"text cut off", [](Blob& b) { b.pop_back(); }, unable},
      {"offset past the end", [](Blob& b) { Put32(b, 8 + 12 + 4, 0xFFFFFFF0); }, unable},
      {"length past the end", [](Blob& b) { Put32(b, 8 + 12 + 8, 0x7FFFFFFF); }, unable},
      {"offset and length overflow",
       [](Blob& b) {
         Put32(b, 8 + 4, 0xFFFFFFFE);
         Put32(b, 8 + 8, 0x80000001);
       },
       unable},
      {"codes out of order", [](Blob& b) { Put32(b, 8 + 12 * 2, 100); }, unable},
      {"codes repeated", [](Blob& b) { Put32(b, 8 + 12 * 1, 3); }, unable},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.fault);
    Blob blob = kSample;
    c.spoil(blob);
    try {
      const StringTable table("BROKEN", blob);
      ADD_FAILURE() << "accepted";
    } catch (const EStringResourceError& e) {
      EXPECT_EQ(c.message, e.what());
    }
  }
}

TEST(StringTable, BuiltInTablesAreFoundByName) {
  const StringTable& messages = StringTable::Resource(kSerialErrorStrings);
  EXPECT_EQ("ie_BadId - Specified comport doesn't exist", messages.At(2001));
  EXPECT_EQ(&messages, &StringTable::Resource("SERIAL_ERROR_STRINGS_ENGLISH"));
  const StringTable& reader = StringTable::Resource(kStrMgrStrings);
  EXPECT_EQ(5u, reader.Count());
  EXPECT_EQ("String resource not found: %s", reader.At(3));
  try {
    StringTable::Resource("SERIAL_ERROR_STRINGS_KLINGON");
    FAIL() << "nothing raised";
  } catch (const EStringResourceError& e) {
    EXPECT_STREQ("String resource not found: SERIAL_ERROR_STRINGS_KLINGON", e.what());
  }
}

}  // namespace
}  // namespace vemo

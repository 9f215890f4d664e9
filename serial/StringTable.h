// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Numbered text tables built into the program (the serial layer's messages and the names
// used in its log).
//
// Binary layout, all integers 32-bit little-endian:
//   "STR0", entry count N, N entries sorted by code ascending (code, byte offset of the
//   text from the start of the blob, text length in UTF-16 code units), then the texts in
//   UTF-16LE without terminators.
// Texts come back as UTF-8.

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "platform/Exception.h"

namespace vemo {

inline constexpr std::string_view kSerialErrorStrings = "SERIAL_ERROR_STRINGS_ENGLISH";
inline constexpr std::string_view kStrMgrStrings = "STRMGR_STRINGS";

// A missing or malformed table, or a code that must exist and does not. The message is
// one of the reader's own texts from STRMGR_STRINGS.
class EStringResourceError : public Exception {
 public:
  using Exception::Exception;
};

class StringTable {
 public:
  // Checks the whole blob before use: a truncated blob, a wrong magic, an entry whose text
  // lies outside the blob, or codes out of order throw EStringResourceError naming the
  // table. The blob must outlive the table.
  StringTable(std::string_view name, std::span<const std::uint8_t> blob);

  // The built-in table of that name, checked once; throws EStringResourceError when there
  // is no such table or it is malformed. Safe from any thread.
  static const StringTable& Resource(std::string_view name);

  const std::string& Name() const { return name_; }
  std::size_t Count() const { return count_; }
  bool Contains(int code) const;
  // The text of code, "" when the table does not have it.
  std::string Find(int code) const;
  // The text of code; throws EStringResourceError "String not found: <code>" when absent.
  std::string At(int code) const;

 private:
  // Index of the entry for code, or -1.
  std::ptrdiff_t Locate(int code) const;
  std::string Text(std::size_t entry) const;

  std::string name_;
  std::span<const std::uint8_t> blob_;
  std::size_t count_ = 0;
};

}  // namespace vemo

// SPDX-License-Identifier: GPL-3.0-or-later
#include "serial/StringTable.h"

#include <map>
#include <memory>
#include <mutex>

#include "serial/EmbeddedStrings.h"

namespace vemo {
namespace {

// The reader's own messages in STRMGR_STRINGS.
enum ReaderMessage { rmStringNotFound = 1, rmCannotLock, rmNotFound, rmUnableToOpen, rmBadMagic };

constexpr std::size_t kHeaderSize = 8;
constexpr std::size_t kEntrySize = 12;

std::uint32_t Get32(std::span<const std::uint8_t> blob, std::size_t at) {
  return static_cast<std::uint32_t>(blob[at]) | static_cast<std::uint32_t>(blob[at + 1]) << 8 |
         static_cast<std::uint32_t>(blob[at + 2]) << 16 |
         static_cast<std::uint32_t>(blob[at + 3]) << 24;
}

enum class BlobFault { None, Empty, Malformed, BadMagic };

BlobFault Check(std::span<const std::uint8_t> blob) {
  if (blob.empty()) return BlobFault::Empty;
  if (blob.size() < kHeaderSize) return BlobFault::Malformed;
  if (blob[0] != 'S' || blob[1] != 'T' || blob[2] != 'R' || blob[3] != '0')
    return BlobFault::BadMagic;
  const std::uint64_t count = Get32(blob, 4);
  if (count > (blob.size() - kHeaderSize) / kEntrySize) return BlobFault::Malformed;
  for (std::size_t i = 0; i < count; ++i) {
    const std::size_t at = kHeaderSize + i * kEntrySize;
    // Codes are signed 32-bit values; they must rise strictly for the binary search.
    if (i > 0 && static_cast<std::int32_t>(Get32(blob, at)) <=
                     static_cast<std::int32_t>(Get32(blob, at - kEntrySize)))
      return BlobFault::Malformed;
    const std::uint64_t offset = Get32(blob, at + 4);
    const std::uint64_t bytes = 2 * static_cast<std::uint64_t>(Get32(blob, at + 8));
    if (offset > blob.size() || bytes > blob.size() - offset) return BlobFault::Malformed;
  }
  return BlobFault::None;
}

std::string Utf16LeToUtf8(std::span<const std::uint8_t> bytes) {
  std::string out;
  out.reserve(bytes.size() / 2);
  auto unit = [&](std::size_t i) -> char32_t { return bytes[2 * i] | bytes[2 * i + 1] << 8; };
  const std::size_t units = bytes.size() / 2;
  for (std::size_t i = 0; i < units; ++i) {
    char32_t cp = unit(i);
    if (cp >= 0xD800 && cp <= 0xDBFF && i + 1 < units && unit(i + 1) >= 0xDC00 &&
        unit(i + 1) <= 0xDFFF) {
      cp = 0x10000 + ((cp - 0xD800) << 10) + (unit(++i) - 0xDC00);
    } else if (cp >= 0xD800 && cp <= 0xDFFF) {
      cp = 0xFFFD;  // a lone surrogate
    }
    if (cp < 0x80) {
      out.push_back(static_cast<char>(cp));
    } else if (cp < 0x800) {
      out.push_back(static_cast<char>(0xC0 | cp >> 6));
      out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else if (cp < 0x10000) {
      out.push_back(static_cast<char>(0xE0 | cp >> 12));
      out.push_back(static_cast<char>(0x80 | (cp >> 6 & 0x3F)));
      out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else {
      out.push_back(static_cast<char>(0xF0 | cp >> 18));
      out.push_back(static_cast<char>(0x80 | (cp >> 12 & 0x3F)));
      out.push_back(static_cast<char>(0x80 | (cp >> 6 & 0x3F)));
      out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    }
  }
  return out;
}

std::span<const std::uint8_t> EmbeddedBlob(std::string_view name, bool& found) {
  for (std::size_t i = 0; i < detail::kEmbeddedStringBlobCount; ++i) {
    const auto& blob = detail::kEmbeddedStringBlobs[i];
    if (name == blob.name) {
      found = true;
      return {blob.data, blob.size};
    }
  }
  found = false;
  return {};
}

// The reader's message n with its argument in place of the first %s or %d. The reader's
// own table is checked without raising, so a fault in it cannot recurse.
std::string ReaderText(int n, std::string_view argument) {
  bool found = false;
  const auto blob = EmbeddedBlob(kStrMgrStrings, found);
  std::string text;
  if (found && Check(blob) == BlobFault::None) {
    static const StringTable table(kStrMgrStrings, blob);
    text = table.Find(n);
  }
  for (const char* placeholder : {"%s", "%d"}) {
    if (const auto at = text.find(placeholder); at != std::string::npos)
      return text.replace(at, 2, argument);
  }
  return text.empty() ? std::string(argument) : text;
}

}  // namespace

StringTable::StringTable(std::string_view name, std::span<const std::uint8_t> blob)
    : name_(name), blob_(blob) {
  switch (Check(blob)) {
    case BlobFault::None:
      break;
    case BlobFault::Empty:
      throw EStringResourceError(ReaderText(rmCannotLock, name));
    case BlobFault::Malformed:
      throw EStringResourceError(ReaderText(rmUnableToOpen, name));
    case BlobFault::BadMagic:
      throw EStringResourceError(ReaderText(rmBadMagic, name));
  }
  count_ = Get32(blob, 4);
}

const StringTable& StringTable::Resource(std::string_view name) {
  static std::mutex mutex;
  static std::map<std::string, std::unique_ptr<StringTable>, std::less<>> tables;
  std::lock_guard lock(mutex);
  if (const auto it = tables.find(name); it != tables.end()) return *it->second;
  bool found = false;
  const auto blob = EmbeddedBlob(name, found);
  if (!found) throw EStringResourceError(ReaderText(rmNotFound, name));
  auto table = std::make_unique<StringTable>(name, blob);
  return *tables.emplace(std::string(name), std::move(table)).first->second;
}

std::ptrdiff_t StringTable::Locate(int code) const {
  std::size_t low = 0;
  std::size_t high = count_;
  while (low < high) {
    const std::size_t mid = low + (high - low) / 2;
    const auto midCode = static_cast<std::int32_t>(Get32(blob_, kHeaderSize + mid * kEntrySize));
    if (midCode == code) return static_cast<std::ptrdiff_t>(mid);
    if (midCode < code)
      low = mid + 1;
    else
      high = mid;
  }
  return -1;
}

std::string StringTable::Text(std::size_t entry) const {
  const std::size_t at = kHeaderSize + entry * kEntrySize;
  return Utf16LeToUtf8(blob_.subspan(Get32(blob_, at + 4), 2 * std::size_t{Get32(blob_, at + 8)}));
}

bool StringTable::Contains(int code) const {
  return Locate(code) >= 0;
}

std::string StringTable::Find(int code) const {
  const auto entry = Locate(code);
  return entry < 0 ? std::string() : Text(static_cast<std::size_t>(entry));
}

std::string StringTable::At(int code) const {
  const auto entry = Locate(code);
  if (entry < 0) throw EStringResourceError(ReaderText(rmStringNotFound, std::to_string(code)));
  return Text(static_cast<std::size_t>(entry));
}

}  // namespace vemo

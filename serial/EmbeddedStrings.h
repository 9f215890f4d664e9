// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The string tables the build embeds into the program (generated EmbeddedStrings.cpp).
// Only StringTable reads these; everyone else asks StringTable::Resource.

#include <cstddef>
#include <cstdint>

namespace vemo::detail {

struct EmbeddedStringBlob {
  const char* name;
  const std::uint8_t* data;
  std::size_t size;
};

extern const EmbeddedStringBlob kEmbeddedStringBlobs[];
extern const std::size_t kEmbeddedStringBlobCount;

}  // namespace vemo::detail

// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Splits fuzz input into command-line arguments at NUL bytes, as the kernel hands argv over.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace vemo::fuzz {

inline std::vector<std::string> SplitArgs(const uint8_t* data, size_t size) {
  if (size == 0) return {};
  std::vector<std::string> args(1);
  for (size_t i = 0; i < size; ++i) {
    if (data[i] == 0)
      args.emplace_back();
    else
      args.back() += static_cast<char>(data[i]);
  }
  return args;
}

}  // namespace vemo::fuzz

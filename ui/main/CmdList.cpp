// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/main/CmdList.h"

#include <algorithm>

#include "platform/Exception.h"

namespace vemo {

void TCmdList::Push(uint8_t code) {
  if (count_ == 0) {
    codes_[0] = code;
    count_ = 1;
    return;
  }
  // Fullness is checked before the repeat test, so a full queue reports even a repeat.
  if (count_ >= Capacity) throw Exception("Command buffer is full.");
  if (codes_[count_ - 1] == code) return;
  codes_[count_] = code;
  ++count_;
}

uint8_t TCmdList::Pop() {
  if (count_ <= 0) throw Exception("Command buffer is empty.");
  const uint8_t code = codes_[0];
  std::copy(codes_.begin() + 1, codes_.begin() + count_, codes_.begin());
  --count_;
  return code;
}

}  // namespace vemo

// SPDX-License-Identifier: GPL-3.0-or-later
// A UDP datagram from anyone on the network, read as a WSJT-X status message. Whatever it
// holds, the parser answers without reading past it, and a status it accepts is sane.

#include "rig/WsjtxStatus.h"

#include <cstdlib>

using namespace vemo;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const TWsjtxParse p = ParseWsjtxMessage({data, size});
  if (p.What == TWsjtxParse::Status &&
      (p.Message.DialHz == 0 || p.Message.Id.size() > size || p.Message.Mode.size() > size))
    std::abort();
  return 0;
}

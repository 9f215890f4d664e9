// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The frequency source for a station that already runs WSJT-X: its UDP status messages
// (NetworkMessage: big-endian, magic 0xadbccbda, schema 1 to 3, then the message type;
// type 1, Status, leads with the client's id, the dial frequency in hertz, the mode, and
// further on whether it is transmitting). Anything from the network is checked strictly:
// a length that runs past the datagram, an absurd frequency or a wrong magic is refused,
// never read past.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>

namespace vemo {

struct TWsjtxStatus {
  std::string Id;  // the sending instance ("WSJT-X", or its --rig-name)
  std::uint64_t DialHz = 0;
  std::string Mode;
  bool Transmitting = false;
};

struct TWsjtxParse {
  enum Kind { Status, OtherMessage, Invalid } What = Invalid;
  TWsjtxStatus Message;  // What == Status
  std::string Error;     // What == Invalid: why, for a diagnostic
};

TWsjtxParse ParseWsjtxMessage(std::span<const std::uint8_t> datagram);

}  // namespace vemo

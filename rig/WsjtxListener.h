// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The frequency from WSJT-X, for a station without a rig connection of its own: listens
// on its own thread for WSJT-X's UDP messages where WSJT-X sends them, unicast ("2237" on
// the loopback address, "HOST:2237" on a local address) or to a multicast group
// ("239.255.0.1:2237", joined on every interface). WSJT-X sends its status when something
// changes and a heartbeat every 15 s; its frequency holds while either keeps coming.

#include "rig/RigPoller.h"

#include <cstdint>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

namespace vemo {

class WsjtxListener {
 public:
  // Raises RigError (not lost) for an address that is no port or HOST:PORT, or that
  // cannot be listened on.
  explicit WsjtxListener(const std::string& address);
  ~WsjtxListener();  // stops and joins
  WsjtxListener(const WsjtxListener&) = delete;
  WsjtxListener& operator=(const WsjtxListener&) = delete;

  // As a rig poller's: connected while WSJT-X is heard, its dial frequency, mode and
  // whether it transmits.
  TRigState State(std::int64_t nowMs) const;
  std::optional<double> FrequencyAt(std::int64_t nowMs) const;
  // Datagrams refused as malformed, for a diagnostic.
  std::uint64_t Refused() const;

 private:
  void Run();

  int fd_ = -1;
  int wakeRead_ = -1, wakeWrite_ = -1;
  mutable std::mutex mutex_;
  TRigState state_;
  std::int64_t heardMs_ = 0;
  std::uint64_t refused_ = 0;
  std::thread thread_;
};

// WSJT-X counts as gone after this long without a message (its heartbeat comes every 15 s).
constexpr std::int64_t kWsjtxSilenceMs = 35000;

}  // namespace vemo
